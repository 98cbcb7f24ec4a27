// The real program on the console as an administrator meets it: GNU options, quiet runs, log files, a
// lock file in the way, leftovers of killed runs, a display that is not there, a stop at a question.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

class KestrunCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { KESTRUN_REQUIRE_PROGRAM(); }

  // A copy-mode setup with one new package, its folders given from the home folder, as people type them.
  void Prepare(const std::string& remote = "~/source") {
    for (const char* folder : {"source", "local"}) fs::remove_all(sandbox.Root() / folder);
    sandbox.WriteFile("source/sdat4301.exe", "new");
    sandbox.WriteFile("local/sdat4300.exe", "old");
    testing::WriteSettings(sandbox, {{"RemotePath", remote}, {"AlternateRemotePath", remote}, {"LocalPath", "~/local"},
                                     {"LatestUpdate", "SDAT4300.EXE"}});
    program.environment = baseEnvironment;
    program.environment.push_back("HOME=" + sandbox.Root().string());
  }

  std::vector<std::string> LocalNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(sandbox.Root() / "local")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::Sandbox sandbox;
  testing::KestrunProgram program{sandbox};
  const std::vector<std::string> baseEnvironment = program.environment;
};

TEST_F(KestrunCommandLineTest, GnuOptionsAnswerOrRefuseAndTouchNothing) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string outStart, err;
  };
  const std::string usage = "Usage: kestrun [/Init]";
  const std::string refused = "\nTry 'kestrun --help'.\n";
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
}

// The run goes through however its output is taken, quiet or not, whatever becomes of its log.
TEST_F(KestrunCommandLineTest, ConsoleRunsAndTheirOutput) {
  enum Output { File, Full, ClosedPipe };
  struct Case {
    const char* what;
    std::vector<std::string> args;
    std::string env;
    Output output;
    int status;
    std::string outHas, errHas;  // empty: nothing at all on that stream
  };
  const std::string tail = "Removing old SDATs...\nFinished\n";
  for (const Case& c : {
           Case{"log", {"/Copy", "--", "-"}, "", File, 0, tail, ""},
           Case{"silent", {"/Copy", "/Silent"}, "", File, 0, "", ""},
           Case{"silent failure", {"/Copy", "/SILENT"}, "source", File, 1, "", "/gone does not exist!\n"},
           Case{"full disk", {"/Copy"}, "", Full, 0, "", "can no longer be written to standard output"},
           Case{"reader gone", {"/Copy"}, "", ClosedPipe, 0, "", "can no longer be written to standard output"},
           Case{"log file in a missing folder", {"/Copy"}, "KESTRUN_LOG=/nonexistent/kestrun.log", File, 0, tail,
                "kestrun: cannot open the log file /nonexistent/kestrun.log: No such file or directory"},
           Case{"lock file in the way", {"/Copy"}, "lock", File, 0, "Running without the run lock: ", ""},
       }) {
    SCOPED_TRACE(c.what);
    Prepare(c.env == "source" ? "~/gone" : "~/source");
    if (!c.env.empty() && c.env.find('=') != std::string::npos) program.environment.push_back(c.env);
    fs::remove_all(sandbox.Root() / "registry.reg.run.lock");
    if (c.env == "lock") fs::create_symlink("elsewhere", sandbox.Root() / "registry.reg.run.lock");
    int fds[2] = {-1, -1};
    if (c.output == ClosedPipe) {
      ASSERT_EQ(::pipe(fds), 0);
      ::close(fds[0]);
    }
    const int out = c.output == Full ? ::open("/dev/full", O_WRONLY | O_CLOEXEC) : fds[1];
    program.Start(c.args, -1, out);
    if (out >= 0) ::close(out);
    EXPECT_EQ(program.Wait(), c.status);
    const std::string stdOut = program.Out(), stdErr = program.Err();
    if (c.output == File) {
      EXPECT_TRUE(c.outHas.empty() ? stdOut.empty() : stdOut.find(c.outHas) != std::string::npos) << stdOut;
    }
    EXPECT_TRUE(c.errHas.empty() ? stdErr.empty() : stdErr.find(c.errHas) != std::string::npos) << stdErr;
    EXPECT_EQ(fs::exists(sandbox.Root() / "local" / "sdat4301.exe"), c.status == 0);
  }
  EXPECT_NE(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("\"LocalPath\"=\"~/local\""), std::string::npos)
      << "a folder setting is stored as typed";
}

// Only the hidden temporary files of our own making go, and each is named in the log.
TEST_F(KestrunCommandLineTest, LeftoversOfKilledRunsAreRemovedAtTheStart) {
  Prepare();
  const std::vector<std::string> ours = {".sdat4299.exe.a1B2c3.part", ".SDAT4301.EXE.0123456789ab.part",
                                         ".my setup.exe.Zz9Zz9.part"};
  const std::vector<std::string> others = {".sdat1.exe.abc12.part", ".sdat2.exe.0123456789abc.part",
                                           ".sdat3.exe.ab-cd1.part", ".readme.txt.abcdef.part",
                                           "sdat4.exe.abcdef.part", ".sdat5.exe.abcdef.partial"};
  for (const auto& name : ours) sandbox.WriteFile("local/" + name, "half");
  for (const auto& name : others) sandbox.WriteFile("local/" + name, "not ours");
  fs::create_directory(sandbox.Root() / "local" / ".sdat6.exe.abcdef.part");
  fs::create_symlink(sandbox.Root() / "source" / "sdat4301.exe", sandbox.Root() / "local" / ".sdat7.exe.abcdef.part");

  EXPECT_EQ(program.Run({"/Copy", "/Rename:\"my setup.exe\""}), 0) << program.Err();
  const std::string out = program.Out();
  for (const char* name : {"sdat4299.exe", "SDAT4301.EXE", "my setup.exe"}) {
    EXPECT_NE(out.find("\nRemoved unfinished download " + std::string(name) + "\n"), std::string::npos) << out;
  }
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), {".sdat6.exe.abcdef.part", ".sdat7.exe.abcdef.part", "my setup.exe", "sdat4300.exe"});
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(LocalNames(), expected);
  EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.Root() / "local" / "my setup.exe"), "new");
}

TEST_F(KestrunCommandLineTest, LogFileTakesEveryLineOfEveryRunWithItsTime) {
  Prepare();
  const fs::path log = sandbox.Root() / "kestrun.log";
  program.environment.push_back("KESTRUN_LOG=" + log.string());
  ASSERT_EQ(program.Run({"/Copy", "/Silent"}), 0);
  ASSERT_EQ(program.Run({"/Copy", "/Silent"}), 0);
  const std::string text = testing::Sandbox::ReadFile(log);
  std::vector<std::string> lines;
  for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    // "2026-12-06T21:43:05+01:00 text"
    ASSERT_GT(line.size(), 26u) << line;
    EXPECT_TRUE(line[4] == '-' && line[10] == 'T' && line[13] == ':' && (line[19] == '+' || line[19] == '-') &&
                line[22] == ':' && line[25] == ' ')
        << line;
    lines.push_back(line.substr(26));
  }
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Kestrun V1.00.00"), 2) << text;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "sdat4301.exe copied!"), 1) << text;
  EXPECT_EQ(lines.back(), "Finished");
  struct stat st {};
  ASSERT_EQ(::stat(log.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
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
    ::close(input[0]);
    ::close(input[1]);
    EXPECT_EQ(program.Err().find("Enter remote path"), std::string::npos) << program.Err();
    EXPECT_EQ(program.Out().find("Finished"), std::string::npos);
    EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("HostName"), std::string::npos);
  }
}

#ifdef KESTRUN_TEST_WITH_QT
// A display that refuses or never answers: the console takes over within the probe's bound; asked for
// windows outright, the program says so and fails instead of aborting.
TEST_F(KestrunCommandLineTest, ADeadDisplayFallsBackToTheConsole) {
  // A "display" on 127.0.0.1 that takes the connection and never answers, as a stale ssh -X one does.
  const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int number = 40;
  for (; number < 100; ++number) {
    address.sin_port = htons(static_cast<uint16_t>(6000 + number));
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) break;
  }
  ASSERT_LT(number, 100);
  ASSERT_EQ(::listen(listener, 4), 0);
  const std::string hanging = "127.0.0.1:" + std::to_string(number);

  struct Case {
    std::string display, ui;
    int status;
    std::string err;
  };
  for (const Case& c : {Case{":9999", "", 0, "(display ':9999': "}, Case{hanging, "", 0, "no answer within 2000 ms"},
                        Case{":9999", "KESTRUN_UI=gui", 1, "kestrun: no window can be opened ("}}) {
    SCOPED_TRACE(c.display + " " + c.ui);
    Prepare();
    program.environment.insert(program.environment.end(), {"QT_QPA_PLATFORM", "KESTRUN_UI", "DISPLAY=" + c.display});
    if (!c.ui.empty()) program.environment.push_back(c.ui);
    const auto started = Clock::now();
    EXPECT_EQ(program.Run({"/Copy"}), c.status);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    EXPECT_NE(program.Err().find(c.err), std::string::npos) << program.Err();
    EXPECT_EQ(program.Out().find("Finished") != std::string::npos, c.status == 0) << program.Out();
  }
  ::close(listener);
}
#endif

}  // namespace
}  // namespace kestrun
