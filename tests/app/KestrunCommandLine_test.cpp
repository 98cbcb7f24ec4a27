// The real program on the console as an administrator meets it: GNU options, quiet runs, log files, a
// lock file in the way, leftovers of killed runs, a display that is not there, a stop at a question.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/FolderNames.h"
#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class KestrunCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { KESTRUN_REQUIRE_PROGRAM(); }

  // One new package to copy; the folders given from the home folder, as people type them.
  void Prepare(const std::string& remote = "~/source", const std::vector<std::string>& environment = {}) {
    for (const char* folder : {"source", "local"}) fs::remove_all(sandbox.Root() / folder);
    sandbox.WriteFile("source/sdat4301.exe", "new");
    sandbox.WriteFile("local/sdat4300.exe", "old");
    testing::WriteSettings(sandbox, {{"RemotePath", remote},
                                     {"AlternateRemotePath", remote},
                                     {"LocalPath", "~/local"},
                                     {"LatestUpdate", "SDAT4300.EXE"}});
    program.environment = base;
    program.environment.push_back("HOME=" + sandbox.Root().string());
    program.environment.insert(program.environment.end(), environment.begin(), environment.end());
  }

  testing::Sandbox sandbox;
  testing::KestrunProgram program{sandbox};
  const std::vector<std::string> base = program.environment;
};

TEST_F(KestrunCommandLineTest, GnuOptionsAnswerOrRefuseAndTouchNothing) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string outStart, err;
  };
  const std::string usage = "Usage: kestrun [/Init]", refused = "\nTry 'kestrun --help'.\n";
  for (const Case& c : {Case{{"--help"}, 0, usage, ""}, Case{{"/Copy", "-h"}, 0, usage, ""},
                        Case{{"--version", "--foo"}, 0, "kestrun 1.00.00\n", ""},
                        Case{{"/Copy", "--foo", "--help"}, 2, "", "kestrun: unrecognized option '--foo'" + refused},
                        Case{{"-x"}, 2, "", "kestrun: invalid option -- 'x'" + refused}}) {
    SCOPED_TRACE(c.args.back());
    EXPECT_EQ(program.Run(c.args), c.status);
    EXPECT_EQ(program.Out().substr(0, c.outStart.size()), c.outStart);
    EXPECT_EQ(program.Out().empty(), c.outStart.empty());
    EXPECT_EQ(program.Err(), c.err);
    EXPECT_FALSE(fs::exists(sandbox.RegistryFile())) << "nothing is written";
  }
  // A damaged store is explained once on standard error, where and why, and left as it is.
  const std::string damaged = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\nHostName=ftp\n";
  sandbox.WriteFile("registry.reg", damaged);
  EXPECT_EQ(program.Run({"/?"}), 0);
  const std::string notice =
      "\nkestrun: The settings store " + sandbox.RegistryFile().string() + " cannot be read, line 3: ";
  EXPECT_TRUE(Has(program.Err(), notice) && program.Err().find(notice) == program.Err().rfind(notice)) << program.Err();
  EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.RegistryFile()), damaged);
}

// The run goes through however its output is taken, quiet or not, whatever becomes of its log.
TEST_F(KestrunCommandLineTest, ConsoleRunsAndTheirOutput) {
  const std::string log = (sandbox.Root() / "kestrun.log").string();
  struct Case {
    const char* what;
    std::vector<std::string> args, environment;
    int status;
    std::string outHas, errHas;  // empty: nothing at all on that stream
  };
  const std::string noStdout = "can no longer be written to standard output";
  // clang-format off
  for (const Case& c : {
           Case{"verbose", {"/Copy", "--", "-"}, {}, 0, "\nRemoving old SDATs...\nFinished\n", ""},
           Case{"silent, logged twice", {"/Copy", "/Silent"}, {"KESTRUN_LOG=" + log}, 0, "", ""},
           Case{"silent, logged twice", {"/Copy", "/Silent"}, {"KESTRUN_LOG=" + log}, 0, "", ""},
           Case{"silent failure", {"/Copy", "/SILENT"}, {"gone"}, 1, "", "/gone does not exist!\n"},
           Case{"reader gone", {"/Copy"}, {"pipe"}, 0, "", noStdout},
           Case{"log file in a missing folder", {"/Copy"}, {"KESTRUN_LOG=/nonexistent/kestrun.log"}, 0, "Finished",
                "kestrun: cannot open the log file /nonexistent/kestrun.log: No such file or directory"},
           Case{"lock file in the way", {"/Copy"}, {"lock"}, 0, "\nRunning without the run lock: ", ""},
       }) {
    SCOPED_TRACE(c.what);
    const std::string special = c.environment.empty() ? "" : c.environment[0];
    Prepare(special == "gone" ? "~/gone" : "~/source", Has(special, "=") ? c.environment : std::vector<std::string>{});
    const fs::path lock = sandbox.Root() / "registry.reg.run.lock";
    fs::remove(lock);
    if (special == "lock") fs::create_symlink("elsewhere", lock);  // O_NOFOLLOW refuses it, even to root
    int reader[2] = {-1, -1};
    if (special == "pipe") {
      ASSERT_EQ(::pipe(reader), 0);
      ::close(reader[0]);
    }
    program.Start(c.args, -1, reader[1]);
    if (reader[1] >= 0) ::close(reader[1]);
    EXPECT_EQ(program.Wait(), c.status);
    EXPECT_TRUE(c.outHas.empty() ? program.Out().empty() : Has(program.Out(), c.outHas)) << program.Out();
    EXPECT_TRUE(c.errHas.empty() ? program.Err().empty() : Has(program.Err(), c.errHas)) << program.Err();
    EXPECT_EQ(fs::exists(sandbox.Root() / "local" / "sdat4301.exe"), c.status == 0);
  }
  // clang-format on
  EXPECT_TRUE(Has(testing::Sandbox::ReadFile(sandbox.RegistryFile()), "\"LocalPath\"=\"~/local\""))
      << "stored as typed";

  // KESTRUN_LOG: appended, every line after its local time ("2026-12-06T21:43:05+01:00 text"), 0644.
  const std::string text = testing::Sandbox::ReadFile(log);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    ASSERT_TRUE(line.size() > 26 && line[4] == '-' && line[10] == 'T' && line[13] == ':' && line[22] == ':' &&
                (line[19] == '+' || line[19] == '-') && line[25] == ' ')
        << line;
    lines.push_back(line.substr(26));
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Kestrun V1.00.00"), 2) << text;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Finished"), 2) << text;
  struct stat st {};
  EXPECT_EQ(::stat(log.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u, 0644u);
}

// Only the hidden temporary files of our own making go, and each is named in the log.
TEST_F(KestrunCommandLineTest, LeftoversOfKilledRunsAreRemovedAtTheStart) {
  Prepare();
  const fs::path local = sandbox.Root() / "local";
  for (const char* name : {".sdat4299.exe.a1B2c3.part", ".SDAT4301.EXE.0123456789ab.part", ".my setup.exe.Zz9Zz9.part"})
    sandbox.WriteFile("local/" + std::string(name), "half");
  std::set<std::string> kept = {".sdat1.exe.abc12.part",  ".sdat2.exe.0123456789abc.part",
                                ".sdat3.exe.ab-cd1.part", ".readme.txt.abcdef.part",
                                "sdat4.exe.abcdef.part",  ".sdat5.exe.abcdef.partial"};
  for (const auto& name : kept) sandbox.WriteFile("local/" + name, "not ours");
  fs::create_directory(local / ".sdat6.exe.abcdef.part");
  fs::create_symlink(sandbox.Root() / "source" / "sdat4301.exe", local / ".sdat7.exe.abcdef.part");

  EXPECT_EQ(program.Run({"/Copy", "/Rename:\"my setup.exe\""}), 0) << program.Err();
  for (const char* name : {"sdat4299.exe", "SDAT4301.EXE", "my setup.exe"})
    EXPECT_TRUE(Has(program.Out(), "\nRemoved unfinished download " + std::string(name) + "\n")) << program.Out();
  kept.insert({".sdat6.exe.abcdef.part", ".sdat7.exe.abcdef.part", "my setup.exe", "sdat4300.exe"});
  EXPECT_EQ(testing::NamesIn(local), kept);
  EXPECT_EQ(testing::Sandbox::ReadFile(local / "my setup.exe"), "new");
}

// SIGTERM or SIGINT while the console waits for an /Init answer: the question ends as cancelled, nothing
// more is asked or written, and the program ends as a stopped run does.
TEST_F(KestrunCommandLineTest, AStopAtAnInitQuestionEndsTheProgram) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    fs::remove(sandbox.RegistryFile());
    int input[2];
    ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);  // held open: no answer and no end of input
    program.Start({"/Init"}, input[0]);
    ASSERT_TRUE(program.WaitForOutput("Enter HostName [")) << program.Err();
    const auto stopped = Clock::now();
    program.Signal(signal);
    EXPECT_EQ(program.Wait(), 1);
    EXPECT_LT(Clock::now() - stopped, std::chrono::seconds(1));
    for (int fd : input) ::close(fd);
    EXPECT_FALSE(Has(program.Err(), "Enter remote path") || Has(program.Out(), "Finished")) << program.Out();
    EXPECT_FALSE(Has(testing::Sandbox::ReadFile(sandbox.RegistryFile()), "HostName"));
  }
}

#ifdef KESTRUN_TEST_WITH_QT
// A display that refuses or never answers: the console takes over within the probe's bound; asked for
// windows outright, the program says so and fails instead of aborting.
TEST_F(KestrunCommandLineTest, ADeadDisplayFallsBackToTheConsole) {
  // A display on 127.0.0.1 that takes the connection and never answers, as a stale ssh -X one does.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
  int number = 40;
  for (; number < 100; ++number) {
    address.sin_port = htons(static_cast<uint16_t>(6000 + number));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
  }
  ASSERT_TRUE(number < 100 && ::listen(listener, 4) == 0);
  struct Case {
    std::string display, ui;
    int status;
    std::string err;
  };
  for (const Case& c : {Case{":9999", "KESTRUN_UI", 0, "(display ':9999': "},
                        Case{"127.0.0.1:" + std::to_string(number), "KESTRUN_UI", 0, "no answer within 2000 ms"},
                        Case{":9999", "KESTRUN_UI=gui", 1, "kestrun: no window can be opened ("}}) {
    SCOPED_TRACE(c.display + " " + c.ui);
    Prepare("~/source", {"QT_QPA_PLATFORM", c.ui, "DISPLAY=" + c.display});
    const auto started = Clock::now();
    EXPECT_EQ(program.Run({"/Copy"}), c.status);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_TRUE(Has(program.Err(), c.err)) << program.Err();
    EXPECT_EQ(Has(program.Out(), "Finished"), c.status == 0) << program.Out();
  }
  ::close(listener);
}
#endif

}  // namespace
}  // namespace kestrun
