// The real program on the console against the test FTP server, as a scheduler starts it: a store of
// its own, no input, its standard output and exit status looked at.
#include <gtest/gtest.h>
#include <signal.h>

#include <memory>
#include <thread>

#include "support/FolderNames.h"
#include "support/FtpServer.h"
#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::FtpServer;
using testing::FtpServerOptions;
using testing::Sandbox;
using Names = std::set<std::string>;
using Clock = std::chrono::steady_clock;

class KestrunFtpCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    KESTRUN_REQUIRE_FTP_SERVER();
    KESTRUN_REQUIRE_PROGRAM();
    for (const char* name : {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"})
      sandbox.WriteFile("served/pub/" + std::string(name), std::string(300000, name[7]));
    program.environment.push_back("KESTRUN_FTP_STALL_TIMEOUT=20");
  }

  std::unique_ptr<FtpServer> Serve(FtpServerOptions options = {},
                                   const std::string& listing = "sdat4299.exe\r\nsdat4300.exe\r\nsdat4301.exe\r\n") {
    options.root = sandbox.Root() / "served";
    options.listingFile = sandbox.WriteFile("listing.txt", listing);
    return std::make_unique<FtpServer>(options);
  }
  // A store for an FTP run from `host`/`remote`, then the alternate; `extra` adds or replaces settings.
  void WriteStore(const std::string& host, const std::string& remote, const std::string& altHost = "",
                  const std::string& altRemote = "", std::vector<std::pair<std::string, std::string>> extra = {}) {
    extra.insert(extra.begin(), {{"HostName", host},
                                 {"RemotePath", remote},
                                 {"AlternateHostName", altHost},
                                 {"AlternateRemotePath", altRemote}});
    testing::WriteSettings(sandbox, extra);
  }
  std::string Recorded() const { return Sandbox::ReadFile(sandbox.RegistryFile()); }
  void EmptyLocal() { fs::remove_all(local), sandbox.Folder("local"); }

  Sandbox sandbox;
  const fs::path local = sandbox.Folder("local");
  testing::KestrunProgram program{sandbox};
};

// A server that lists in its own order, lists a folder named like a package and a file the mask leaves
// out, knows no MLSD and refuses SIZE: only the newer packages come, each renamed in turn; a link under a
// package's name is not followed; old ones are pruned.
TEST_F(KestrunFtpCommandTest, DoesTheWholeJob) {
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "SDAT4302.EXE"})
    sandbox.WriteFile("served/pub/" + std::string(name), "package " + std::string(name));
  sandbox.WriteFile("served/pub/readme.txt", "x");
  sandbox.Folder("served/pub/sdat9999.exe");
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "sdat4300.exe"})
    sandbox.WriteFile("local/" + std::string(name), name);
  fs::create_symlink(sandbox.WriteFile("outside", "kept"), local / "sdat4301.exe");
  FtpServerOptions options;
  options.noMlsd = true, options.refuseSize = true;
  auto server = Serve(options,
                      "readme.txt\r\nsdat9999.exe\r\nsdat4301.exe\r\nsdat4297.exe\r\nsdat4300.exe\r\n"
                      "SDAT4302.EXE\r\nsdat4299.exe\r\nsdat4298.exe\r\n");
  WriteStore(server->HostName(), "/pub", "", "", {{"LatestUpdate", "SDAT4300.EXE"}, {"LatestUpdateDate", "then"}});
  std::string expected = "\nLatest download on this PC: SDAT4300.EXE (then)\nConnecting to " + server->HostName() +
                         "\ncd /pub\nGet file list\n";
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "sdat4299.exe", "sdat4300.exe"})
    expected += "Old SDAT: " + std::string(name) + " Skipping!\n";
  for (const std::string name : {"sdat4301.exe", "SDAT4302.EXE"})
    expected +=
        "Get " + name + " " + (local / name).string() + "\n" + name + " copied!\n" + name + " renamed to setup.exe\n";
  expected += "Disconnect\nRemoving old SDATs...\nsdat4297.exe removed\nFinished\n";
  EXPECT_EQ(program.Run({"/Rename:setup.exe"}), 0) << program.Out();
  EXPECT_NE(program.Out().find(expected), std::string::npos) << program.Out();
  EXPECT_EQ(testing::NamesIn(local), (Names{"sdat4298.exe", "sdat4300.exe", "setup.exe"}));
  EXPECT_EQ(Sandbox::ReadFile(local / "setup.exe"), "package SDAT4302.EXE");
  EXPECT_EQ(Sandbox::ReadFile(sandbox.Root() / "outside"), "kept");
  EXPECT_NE(Recorded().find("\"LatestUpdate\"=\"SDAT4302.EXE\""), std::string::npos);
}

// 0 when the last source tried ran through, 1 when it failed. A disk that fills during the downloads
// leaves neither a package nor a temporary file, and records nothing.
TEST_F(KestrunFtpCommandTest, ExitStatusFollowsTheLastSourceTried) {
  auto good = Serve();
  struct Case {
    const char* what;
    std::string host, remote, altHost;
    int status;
    std::string line;  // each failure line is followed by why
    long fileSizeLimit;
    std::size_t packagesLeft;
  };
  for (const Case& c : {Case{"missing folder, then a good one", good->HostName(), "/gone", good->HostName(), 0,
                             "Unable to change to the specified directory!\n550 No such file or directory.", 0, 2},
                        Case{"disk full", good->HostName(), "/pub", "", 1, "Failed to get sdat4301.exe!", 100000, 0}}) {
    SCOPED_TRACE(c.what);
    EmptyLocal();
    WriteStore(c.host, c.remote, c.altHost, "/pub");
    program.fileSizeLimit = c.fileSizeLimit;  // stands in for a full disk
    EXPECT_EQ(program.Run({}), c.status) << program.Out();
    EXPECT_NE(program.Out().find("\n" + c.line + "\n"), std::string::npos) << program.Out();
    EXPECT_TRUE(program.Out().ends_with("Finished\n")) << program.Out();
    EXPECT_EQ(testing::NamesIn(local).size(), c.packagesLeft) << "no temporary file";
    EXPECT_EQ(Recorded().find("LatestUpdate") != std::string::npos, c.status == 0);
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
    int exitStatus;  // 128 + the signal when ended by one
  };
  for (const Case& c : {Case{{SIGINT}, 1}, Case{{SIGINT, SIGTERM}, 128 + SIGTERM}}) {
    SCOPED_TRACE(c.signals.size());
    EmptyLocal();
    sandbox.WriteFile("local/sdat4300.exe", "old");
    WriteStore(server->HostName(), "/pub", server->HostName(), "/pub", {{"LatestUpdate", "SDAT4300.EXE"}});
    program.Start({});
    // Once the download line is out, the transfer is under way (and held by the server).
    ASSERT_TRUE(program.WaitForOutput("Get sdat4301.exe")) << program.Out();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto interrupted = Clock::now();
    // Held still while the signals arrive, so that both are there before it acts on the first.
    program.Signal(SIGSTOP);
    for (int signal : c.signals) program.Signal(signal);
    program.Signal(SIGCONT);
    EXPECT_EQ(program.Wait(), c.exitStatus);
    EXPECT_LT(Clock::now() - interrupted, std::chrono::seconds(3));
    EXPECT_EQ(program.Out().find("Finished"), std::string::npos) << program.Out();
    EXPECT_EQ(testing::NamesIn(local), Names{"sdat4300.exe"}) << "no package and no temporary file";
    EXPECT_EQ(Recorded().find("SDAT4301"), std::string::npos);
  }
}

// Runs of one store overlap (a cron entry whose last run is still downloading): each package is fetched
// once, the later run waits for the earlier, and one that may not wait long enough gives up with 3.
TEST_F(KestrunFtpCommandTest, OverlappingRunsFetchEachPackageOnce) {
  FtpServerOptions slow;
  slow.rate = 100000;  // a download of about three seconds
  auto server = Serve(slow, "sdat4301.exe\r\n");
  WriteStore(server->HostName(), "/pub", server->HostName(), "/pub");
  testing::KestrunProgram impatient(sandbox, "impatient"), patient(sandbox, "patient");
  impatient.environment.push_back("KESTRUN_RUN_LOCK_WAIT=0.5");
  program.Start({});
  ASSERT_TRUE(program.WaitForOutput("Get sdat4301.exe")) << program.Out();
  patient.Start({});
  EXPECT_EQ(impatient.Run({}), 3);
  EXPECT_NE(impatient.Out().find("\nAnother run is still in progress\n"), std::string::npos) << impatient.Out();
  EXPECT_EQ(program.Wait(), 0) << program.Out();
  EXPECT_EQ(patient.Wait(), 0) << patient.Out();
  for (const testing::KestrunProgram* later : {&impatient, &patient})
    EXPECT_EQ(later->Out().find("Get sdat4301.exe"), std::string::npos) << later->Out();
  EXPECT_EQ(Sandbox::ReadFile(local / "sdat4301.exe").size(), 300000u);
}

}  // namespace
}  // namespace kestrun
