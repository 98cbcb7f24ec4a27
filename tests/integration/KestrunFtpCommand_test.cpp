// The real program on the console against the test FTP server, as a scheduler starts it: a store of
// its own, no input, its standard output and exit status looked at.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/FtpServer.h"
#include "support/Sandbox.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::FtpServer;
using testing::FtpServerOptions;
using Clock = std::chrono::steady_clock;

class KestrunFtpCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KESTRUN_REQUIRE_FTP_SERVER();
    const char* named = std::getenv("KESTRUN_BIN");
    std::error_code ec;
    bin_ = named && *named ? fs::path(named) : fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "src" / "kestrun";
    if (!fs::is_regular_file(bin_, ec)) GTEST_SKIP() << "no program at " << bin_;
    for (const char* name : {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"})
      sandbox.WriteFile("served/pub/" + std::string(name), std::string(300000, name[7]));
  }

  std::unique_ptr<FtpServer> Serve(FtpServerOptions options = {},
                                   const std::string& listing = "sdat4299.exe\r\nsdat4300.exe\r\nsdat4301.exe\r\n") {
    options.root = sandbox.Root() / "served";
    options.listingFile = sandbox.WriteFile("listing.txt", listing);
    return std::make_unique<FtpServer>(options);
  }

  void WriteStore(const std::string& host, const std::string& remote, const std::string& altHost,
                  const std::string& altRemote, const std::string& extra = {}) {
    std::ofstream(sandbox.RegistryFile(), std::ios::binary)
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n"
        << "\"HostName\"=\"" << host << "\"\n\"RemotePath\"=\"" << remote << "\"\n"
        << "\"AlternateHostName\"=\"" << altHost << "\"\n\"AlternateRemotePath\"=\"" << altRemote << "\"\n"
        << "\"FileMask\"=\"sdat*.exe\"\n\"LocalPath\"=\"" << local.string() << "\"\n\"SDATsToKeep\"=\"2\"\n" << extra;
  }

  // A file-size limit (bytes) stands in for a full disk, even for root: writes beyond it fail.
  std::string Command(const std::string& arguments, long fileSizeLimit = 0) const {
    const std::string start =
        fileSizeLimit > 0 ? "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(fileSizeLimit) + " " : "exec ";
    return start + "env -u DISPLAY -u WAYLAND_DISPLAY KESTRUN_UI=console NO_COLOR=1 KESTRUN_FTP_STALL_TIMEOUT=20 KESTRUN_REGISTRY='" +
           sandbox.RegistryFile().string() + "' '" + bin_.string() + "' " + arguments + " </dev/null >'" + out_.string() +
           "' 2>/dev/null";
  }

  // Runs the program to its end; gives its exit status, and its standard output in `out`.
  int Run(const std::string& arguments, std::string& out, long fileSizeLimit = 0) {
    const int raw = std::system(Command(arguments, fileSizeLimit).c_str());
    out = testing::Sandbox::ReadFile(out_);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  std::vector<std::string> LocalNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(local)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::Sandbox sandbox;
  const fs::path local = sandbox.Folder("local");
  fs::path bin_;
  fs::path out_ = sandbox.Root() / "stdout.txt";
};

TEST_F(KestrunFtpCommandTest, DoesTheWholeJobAndSucceeds) {
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "sdat4300.exe"}) sandbox.WriteFile("local/" + std::string(name), name);
  // A link under a package's name does not lead the download out of the folder.
  fs::create_symlink(sandbox.WriteFile("outside", "kept"), local / "sdat4301.exe");
  auto server = Serve();
  WriteStore(server->HostName(), "/pub", "", "", "\"LatestUpdate\"=\"SDAT4300.EXE\"\n\"LatestUpdateDate\"=\"then\"\n");

  std::string out;
  EXPECT_EQ(Run("/Rename:setup.exe", out), 0) << out;
  EXPECT_NE(out.find("\nLatest download on this PC: SDAT4300.EXE (then)\nConnecting to " + server->HostName() +
                     "\ncd /pub\nGet file list\nOld SDAT: sdat4299.exe Skipping!\nOld SDAT: sdat4300.exe Skipping!\n"
                     "Get sdat4301.exe " + local.string() + "/sdat4301.exe\nsdat4301.exe copied!\n"
                     "sdat4301.exe renamed to setup.exe\nDisconnect\nRemoving old SDATs...\nsdat4297.exe removed\nFinished\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(LocalNames(), (std::vector<std::string>{"sdat4298.exe", "sdat4300.exe", "setup.exe"}));
  EXPECT_EQ(testing::Sandbox::ReadFile(local / "setup.exe"), std::string(300000, '1'));
  EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.Root() / "outside"), "kept");
  EXPECT_NE(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("\"LatestUpdate\"=\"SDAT4301.EXE\""), std::string::npos);
}

// A server lists in its own order, may list a folder named like a package, may lack MLSD and may refuse
// SIZE: the newest package is recorded and kept all the same, and the next run has nothing to do.
TEST_F(KestrunFtpCommandTest, UnsortedListingWithAFolderTwice) {
  const std::vector<std::string> packages = {"sdat4297.exe", "sdat4298.exe", "sdat4299.exe", "sdat4300.exe", "sdat4301.exe", "SDAT4302.EXE"};
  for (const std::string& name : packages) sandbox.WriteFile("served/pub/" + name, "package " + name);
  sandbox.WriteFile("served/pub/readme.txt", "x");
  sandbox.Folder("served/pub/sdat9999.exe");
  std::string fetched;  // the lines of the first run's downloads, newest last
  for (const std::string& name : packages) fetched += "Get " + name + " " + (local / name).string() + "\n" + name + " copied!\n";
  fetched += "Disconnect\nRemoving old SDATs...\nsdat4297.exe removed\nsdat4298.exe removed\nsdat4299.exe removed\n"
             "sdat4300.exe removed\nFinished\n";
  for (const bool noMlsd : {false, true}) {
    for (const bool refuseSize : {false, true}) {
      SCOPED_TRACE(std::string(noMlsd ? "NLST" : "MLSD") + (refuseSize ? ", SIZE refused" : ""));
      for (const auto& entry : fs::directory_iterator(local)) fs::remove(entry.path());
      FtpServerOptions options;
      options.noMlsd = noMlsd, options.refuseSize = refuseSize;
      auto server = Serve(options, "readme.txt\r\nsdat9999.exe\r\nsdat4301.exe\r\nsdat4297.exe\r\nsdat4300.exe\r\n"
                                   "SDAT4302.EXE\r\nsdat4299.exe\r\nsdat4298.exe\r\n");
      WriteStore(server->HostName(), "/pub", "", "");
      std::string out;
      EXPECT_EQ(Run("", out), 0) << out;
      EXPECT_NE(out.find(fetched), std::string::npos) << out;
      EXPECT_NE(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("\"LatestUpdate\"=\"SDAT4302.EXE\""), std::string::npos);
      EXPECT_EQ(LocalNames(), (std::vector<std::string>{"SDAT4302.EXE", "sdat4301.exe"}));
      EXPECT_EQ(testing::Sandbox::ReadFile(local / "SDAT4302.EXE"), "package SDAT4302.EXE");

      EXPECT_EQ(Run("", out), 0) << out;
      EXPECT_EQ(out.find(" copied!"), std::string::npos) << out;
      EXPECT_NE(out.find("Old SDAT: SDAT4302.EXE Skipping!\nDisconnect\nRemoving old SDATs...\nFinished\n"), std::string::npos) << out;
      EXPECT_EQ(LocalNames(), (std::vector<std::string>{"SDAT4302.EXE", "sdat4301.exe"}));
    }
  }
}

// 0 when the last source tried ran through, 1 when it failed. A disk that fills during the downloads
// leaves neither a package nor a temporary file, and records nothing.
TEST_F(KestrunFtpCommandTest, ExitStatusFollowsTheLastSourceTried) {
  auto good = Serve();
  const std::string unreachable = "127.0.0.1:1";
  struct Case {
    const char* what;
    std::string host, remote, altHost, altRemote;
    int status;
    std::string line;
    long fileSizeLimit;
    std::size_t packagesLeft;
  };
  // Each failure line is followed by why.
  for (const Case& c : {Case{"nobody listening, no alternate", unreachable, "/pub", "", "/pub", 1, "Unable to connect!\nConnection refused", 0, 0},
                        Case{"missing folder, then a good one", good->HostName(), "/gone", good->HostName(), "/pub", 0,
                             "Unable to change to the specified directory!\n550 No such file or directory.", 0, 2},
                        Case{"disk full", good->HostName(), "/pub", "", "/pub", 1, "Failed to get sdat4301.exe!", 100000, 0}}) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : fs::directory_iterator(local)) fs::remove(entry.path());
    WriteStore(c.host, c.remote, c.altHost, c.altRemote);
    std::string out;
    EXPECT_EQ(Run("", out, c.fileSizeLimit), c.status) << out;
    EXPECT_NE(out.find("\n" + c.line + "\n"), std::string::npos) << out;
    EXPECT_EQ(out.substr(out.size() - 9), "Finished\n") << out;
    EXPECT_EQ(LocalNames().size(), c.packagesLeft) << "no temporary file";
    EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("LatestUpdate") != std::string::npos, c.status == 0);
  }
}

// Ctrl-C while a package is on its way: the program abandons it, leaves no file, records nothing and
// ends at once with a failure status. A second signal (here SIGTERM) that comes before the first was
// acted on ends it by that signal, and still no hidden temporary file stays behind.
TEST_F(KestrunFtpCommandTest, InterruptDuringADownload) {
  FtpServerOptions stall;
  stall.stallFile = "sdat4301.exe";
  stall.stallAfter = 100000;
  auto server = Serve(stall);
  struct Case {
    std::vector<int> signals;
    int exitStatus;  // or -signal when ended by that signal
  };
  for (const Case& c : {Case{{SIGINT}, 1}, Case{{SIGINT, SIGTERM}, -SIGTERM}}) {
    SCOPED_TRACE(c.signals.size());
    for (const auto& entry : fs::directory_iterator(local)) fs::remove(entry.path());
    sandbox.WriteFile("local/sdat4300.exe", "old");
    WriteStore(server->HostName(), "/pub", server->HostName(), "/pub", "\"LatestUpdate\"=\"SDAT4300.EXE\"\n");
    fs::remove(out_);

    const std::string command = Command("");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    // Once the download line is out, the transfer is under way (and held by the server).
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline && testing::Sandbox::ReadFile(out_).find("Get sdat4301.exe") == std::string::npos)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto interrupted = Clock::now();
    // Held still while the signals arrive, so that both are there before it acts on the first.
    ::kill(pid, SIGSTOP);
    for (int signal : c.signals) ::kill(pid, signal);
    ::kill(pid, SIGCONT);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    EXPECT_LT(Clock::now() - interrupted, std::chrono::seconds(3));
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : WIFSIGNALED(raw) ? -WTERMSIG(raw) : 999, c.exitStatus);
    const std::string out = testing::Sandbox::ReadFile(out_);
    EXPECT_EQ(out.find("Finished"), std::string::npos) << out;
    EXPECT_EQ(LocalNames(), std::vector<std::string>{"sdat4300.exe"}) << "no package and no temporary file";
    EXPECT_EQ(testing::Sandbox::ReadFile(sandbox.RegistryFile()).find("SDAT4301"), std::string::npos);
  }
}

}  // namespace
}  // namespace kestrun
