// The real program on the console as an administrator meets it: exit status, its two streams, the log file,
// the settings store, leftovers of killed runs, a full disk, signals, a display that is not there.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "platform/Text.h"
#include "support/FolderNames.h"
#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Names = std::set<std::string>;
using Settings = std::vector<std::pair<std::string, std::string>>;
using testing::Sandbox;

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class KestrunCommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override { KESTRUN_REQUIRE_PROGRAM(); }

  // One new package to copy; the folders given from the home folder, as people type them.
  void Prepare(const Settings& settings = {}, const std::vector<std::string>& environment = {}) {
    for (const char* folder : {"source", "local"}) fs::remove_all(sandbox.Root() / folder);
    sandbox.WriteFile("source/sdat4301.exe", "new");
    sandbox.WriteFile("local/sdat4300.exe", "old");
    Settings all = {{"RemotePath", "~/source"},
                    {"AlternateRemotePath", "~/source"},
                    {"LocalPath", "~/local"},
                    {"LatestUpdate", "SDAT4300.EXE"},
                    {"LatestUpdateDate", "then"}};
    all.insert(all.end(), settings.begin(), settings.end());
    testing::WriteSettings(sandbox, all);
    program.environment = base;
    program.environment.push_back("HOME=" + root);
    program.environment.insert(program.environment.end(), environment.begin(), environment.end());
  }

  Sandbox sandbox;
  const std::string root = sandbox.Root().string();
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
  const std::string notice = "\nkestrun: The settings store " + root + "/registry.reg cannot be read, line 3: ";
  EXPECT_TRUE(Has(program.Err(), notice) && program.Err().find(notice) == program.Err().rfind(notice)) << program.Err();
  EXPECT_EQ(Sandbox::ReadFile(sandbox.RegistryFile()), damaged);
}

// The exit status and both streams, quiet or not, whatever becomes of the output, the log or the store.
TEST_F(KestrunCommandLineTest, ConsoleRunsAndTheirOutput) {
  const std::string log = root + "/kestrun.log", logged = "KESTRUN_LOG=" + log;
  const std::string gone = "Folder " + root + "/gone does not exist!\n";
  const std::string copyError = "kestrun.frmMain.GetUpdatesCopy: 93, Invalid pattern string\n";
  const std::string pruneError = "kestrun.frmMain.RemoveOldSDATs: 93, Invalid pattern string\n";
  const std::string storeAt = "KESTRUN_REGISTRY=" + root, notFile = " is not a file.\n", goesOn = "; the run goes on\n";
  ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", root + "/pipe.reg");
  sandbox.Folder("folder.reg");
  struct Case {
    const char* what;
    std::vector<std::string> args;
    Settings settings;
    std::vector<std::string> environment;
    int status;
    std::string outHas, err;  // outHas empty: nothing on standard output
    const char* special = "";
  };
  // clang-format off
  for (const Case& c : {
           Case{"verbose", {"/Copy", "--", "-"}, {}, {}, 0, "\nRemoving old SDATs...\nFinished\n", ""},
           Case{"silent, logged twice", {"/Copy", "/Silent"}, {}, {logged}, 0, "", ""},
           Case{"silent, logged twice", {"/Copy", "/Silent"}, {}, {logged}, 0, "", ""},
           Case{"silent failure", {"/Copy", "/SILENT"}, {{"RemotePath", "~/gone"}, {"AlternateRemotePath", "~/gone"}},
                {}, 1, "", gone + gone},
           Case{"the alternate after a failure", {"/Copy", "/Silent"}, {{"RemotePath", "~/gone"}}, {}, 0, "", gone},
           Case{"unknown switch, error reports", {"/Copy", "/Silent", "/Foo", "x"}, {{"FileMask", "sdat[.exe"}}, {}, 1,
                "", "Unknown switch ignored: /Foo\n" + copyError + copyError + pruneError},
           Case{"a store that is a folder", {"/Copy"}, {}, {storeAt + "/folder.reg"}, 1, "",
                "The settings store " + root + "/folder.reg" + notFile},
           Case{"a store that is a pipe: not waited on", {"/Copy"}, {}, {storeAt + "/pipe.reg"}, 1, "",
                "The settings store " + root + "/pipe.reg" + notFile},
           Case{"reader gone", {"/Copy"}, {}, {}, 0, "",
                "kestrun: the log can no longer be written to standard output (Broken pipe)" + goesOn, "pipe"},
           Case{"log file in a missing folder", {"/Copy"}, {}, {"KESTRUN_LOG=/nonexistent/kestrun.log"}, 0, "Finished",
                "kestrun: cannot open the log file /nonexistent/kestrun.log: No such file or directory" + goesOn},
           // Last: the store after a successful run is checked below.
           Case{"lock file in the way", {"/Copy"}, {}, {}, 0, "\nRunning without the run lock: ", "", "lock"},
       }) {
    // clang-format on
    SCOPED_TRACE(c.what);
    Prepare(c.settings, c.environment);
    const fs::path lock = root + "/registry.reg.run.lock";
    fs::remove(lock);
    if (c.special == std::string("lock")) fs::create_symlink("elsewhere", lock);  // O_NOFOLLOW refuses it, even to root
    int reader[2] = {-1, -1};
    if (c.special == std::string("pipe")) {
      ASSERT_EQ(::pipe(reader), 0);
      ::close(reader[0]);
    }
    program.Start(c.args, -1, reader[1]);
    if (reader[1] >= 0) ::close(reader[1]);
    EXPECT_EQ(program.Wait(), c.status);
    EXPECT_TRUE(c.outHas.empty() ? program.Out().empty() : Has(program.Out(), c.outHas)) << program.Out();
    EXPECT_EQ(program.Err(), c.err);
    EXPECT_EQ(fs::exists(sandbox.Root() / "local" / "sdat4301.exe"), c.status == 0);
  }
  const std::string store = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_TRUE(Has(store, "\"LocalPath\"=\"~/local\"")) << "stored as typed";
  EXPECT_TRUE(Has(store, "\"LatestUpdate\"=\"SDAT4301.EXE\"") && !Has(store, "\"then\"")) << store;

  // KESTRUN_LOG: appended, every line after its local time ("2026-12-06T21:43:05+01:00 text"), 0644.
  std::istringstream text(Sandbox::ReadFile(log));
  std::map<std::string, int> seen;
  for (std::string line; std::getline(text, line);) {
    std::string shape = line.substr(0, 26);
    std::replace_if(
        shape.begin(), shape.end(), [](char ch) { return ch >= '0' && ch <= '9'; }, '9');
    if (shape.size() > 19 && shape[19] == '-') shape[19] = '+';
    ASSERT_EQ(shape, "9999-99-99T99:99:99+99:99 ") << line;
    ++seen[line.substr(26)];
  }
  EXPECT_EQ(seen["Kestrun V1.00.00"], 2);
  EXPECT_EQ(seen["Finished"], 2);
  struct stat st {};
  EXPECT_EQ(::stat(log.c_str(), &st) == 0 ? st.st_mode & 0777 : 0u, 0644u);
}

// A full disk (a file-size limit) while copying, then while recording: told, no half package under a
// package's name, nothing recorded for it, the store whole, and status 1 even after the alternate's success.
TEST_F(KestrunCommandLineTest, AFullDiskIsToldAndLeavesNoHalfPackageAndAFailureStatus) {
  const fs::path local = sandbox.Folder("local"), big = sandbox.Folder("big"), small = sandbox.Folder("small");
  sandbox.WriteFile("big/sdat4301.exe", std::string(300000, 'b'));
  // Recording this name grows the store by more than the slack given below.
  const std::string name = "sdat" + std::string(115, 'x') + ".exe";
  sandbox.WriteFile("small/" + name, "small");
  const std::string recorded = "\"LatestUpdate\"=\"" + text::UCase(name) + "\"";
  testing::WriteSettings(sandbox, {{"RemotePath", big.string()}, {"AlternateRemotePath", small.string()}});
  program.fileSizeLimit = 100000;
  EXPECT_EQ(program.Run({"/Copy"}), 1) << program.Out();
  EXPECT_TRUE(Has(program.Err(), ".frmMain.GetUpdatesCopy: 61, Disk full\n")) << program.Err();
  EXPECT_EQ(testing::NamesIn(local), Names{name});
  EXPECT_TRUE(Has(Sandbox::ReadFile(sandbox.RegistryFile()), recorded));

  // Recording: a run that finds its package already there measures the store; the next one may not grow it.
  testing::WriteSettings(sandbox, {{"RemotePath", small.string()}, {"AlternateRemotePath", ""}});
  program.fileSizeLimit = 0;
  ASSERT_EQ(program.Run({"/Copy"}), 0) << program.Out();
  fs::remove(local / name);
  const std::string before = Sandbox::ReadFile(sandbox.RegistryFile());
  program.fileSizeLimit = static_cast<long>(before.size()) + 60;
  EXPECT_EQ(program.Run({"/Copy"}), 1) << program.Out();
  EXPECT_TRUE(Has(program.Err(),
                  "Error updating registry:  112\r\nFor keyname: SOFTWARE\\Ambervale\\Kestrun\r\n"
                  "For variable: LatestUpdate"))
      << program.Err();
  const std::string after = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_FALSE(Has(after, recorded)) << "nothing recorded";
  EXPECT_EQ(after.substr(0, after.find("\"LatestRunDate\"")), before.substr(0, before.find("\"LatestRunDate\"")))
      << "the store is whole";
  EXPECT_EQ(testing::NamesIn(local), Names{name}) << "no temporary file of the store";
}

// Only the hidden temporary files of our own making go, and each is named in the log.
TEST_F(KestrunCommandLineTest, LeftoversOfKilledRunsAreRemovedAtTheStart) {
  Prepare();
  const fs::path local = sandbox.Root() / "local";
  for (const char* name : {".sdat4299.exe.a1B2c3.part", ".SDAT4301.EXE.0123456789ab.part", ".my setup.exe.Zz9Zz9.part"})
    sandbox.WriteFile("local/" + std::string(name), "half");
  Names kept = {".sdat1.exe.abc12.part",   ".sdat2.exe.0123456789abc.part", ".sdat3.exe.ab-cd1.part",
                ".readme.txt.abcdef.part", "xsdat4.exe.abcdef.part",        ".sdat5.exe.abcdef.partial"};
  for (const auto& name : kept) sandbox.WriteFile("local/" + name, "not ours");
  fs::create_directory(local / ".sdat6.exe.abcdef.part");
  fs::create_symlink(sandbox.Root() / "source" / "sdat4301.exe", local / ".sdat7.exe.abcdef.part");

  EXPECT_EQ(program.Run({"/Copy", "/Rename:\"my setup.exe\""}), 0) << program.Err();
  for (const char* name : {"sdat4299.exe", "SDAT4301.EXE", "my setup.exe"})
    EXPECT_TRUE(Has(program.Out(), "\nRemoved unfinished download " + std::string(name) + "\n")) << program.Out();
  kept.insert({".sdat6.exe.abcdef.part", ".sdat7.exe.abcdef.part", "my setup.exe", "sdat4300.exe"});
  EXPECT_EQ(testing::NamesIn(local), kept);
  EXPECT_EQ(Sandbox::ReadFile(local / "my setup.exe"), "new");
}

// SIGTERM or SIGINT while the console waits for an /Init answer: nothing more is asked or written, and the
// program ends at once as a stopped run does.
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
    EXPECT_FALSE(Has(Sandbox::ReadFile(sandbox.RegistryFile()), "HostName"));
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
    Prepare({}, {"QT_QPA_PLATFORM", c.ui, "DISPLAY=" + c.display});
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
