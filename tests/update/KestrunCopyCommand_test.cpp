// The real program on the console, as a scheduler starts it: `kestrun /Copy` with a store of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "support/FolderNames.h"
#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;
using Names = std::set<std::string>;

class KestrunCopyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { KESTRUN_REQUIRE_PROGRAM(); }

  // Runs the program to its end and gives its exit status; a file-size limit (bytes) stands in for a
  // full disk.
  int Run(const std::vector<std::string>& arguments, long fileSizeLimit = 0) {
    program.fileSizeLimit = fileSizeLimit;
    return program.Run(arguments);
  }

  Sandbox sandbox;
  const fs::path source = sandbox.Folder("source");
  const fs::path local = sandbox.Folder("local");
  testing::KestrunProgram program{sandbox};
};

TEST_F(KestrunCopyCommandTest, DoesTheWholeJobAndSucceeds) {
  for (const char* name : {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"})
    sandbox.WriteFile("source/" + std::string(name), name);
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "sdat4300.exe"})
    sandbox.WriteFile("local/" + std::string(name), name);
  testing::WriteSettings(sandbox, {{"LatestUpdate", "SDAT4300.EXE"}, {"LatestUpdateDate", "then"}});

  EXPECT_EQ(Run({"/Copy", "/Rename:setup.exe"}), 0) << program.Out();
  EXPECT_NE(program.Out().find("\nLatest download on this PC: SDAT4300.EXE (then)\ncopy " +
                               (source / "sdat4301.exe").string() + " " + (local / "sdat4301.exe").string() +
                               "\nsdat4301.exe copied!\nsdat4301.exe renamed to "
                               "setup.exe\nRemoving old SDATs...\nsdat4297.exe removed\nFinished\n"),
            std::string::npos)
      << program.Out();
  EXPECT_EQ(Sandbox::ReadFile(local / "setup.exe"), "sdat4301.exe");
  EXPECT_FALSE(fs::exists(local / "sdat4301.exe"));
  const std::string store = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_NE(store.find("\"LatestUpdate\"=\"SDAT4301.EXE\""), std::string::npos) << store;
  EXPECT_EQ(store.find("\"then\""), std::string::npos) << "the date of the copy is recorded";
}

// 0 when the last source tried ran through; 1 when it failed or an error report was shown (here the
// pruning's, on a mask it cannot read); 2 for a duplicate switch, which ends the program before the run.
TEST_F(KestrunCopyCommandTest, ExitStatusTellsASchedulerHowTheRunWent) {
  const std::string gone = (sandbox.Root() / "gone").string();
  sandbox.WriteFile("local/sdat4000.exe", "old");
  struct Case {
    std::string remote, alternate;
    std::vector<std::string> arguments;
    int status;
    std::string mask = "sdat*.exe";
  };
  for (const Case& c : {Case{gone, "", {"/Copy"}, 1}, Case{gone, source.string(), {"/Copy"}, 0},
                        Case{source.string(), source.string(), {"/Copy"}, 1, "sdat[.exe"},
                        Case{source.string(), "", {"/Copy", "/copy"}, 2}}) {
    SCOPED_TRACE(c.remote + " | " + c.alternate + " | " + c.mask + " | " + std::to_string(c.arguments.size()));
    testing::WriteSettings(sandbox,
                           {{"RemotePath", c.remote}, {"AlternateRemotePath", c.alternate}, {"FileMask", c.mask}});
    EXPECT_EQ(Run(c.arguments), c.status) << program.Out();
    EXPECT_EQ(program.Out().ends_with("Finished\n"), c.status != 2) << program.Out();
  }
}

// A full disk (here a file-size limit) while copying or while recording: the failure is told, no half
// package stays under a package's name, nothing is recorded for it, the store stays whole, and the status
// is 1 even when the alternate folder then did its job.
TEST_F(KestrunCopyCommandTest, AFullDiskIsToldAndLeavesNoHalfPackageAndAFailureStatus) {
  const fs::path big = sandbox.Folder("big"), small = sandbox.Folder("small");
  sandbox.WriteFile("big/sdat4301.exe", std::string(300000, 'b'));
  // Recording this name grows the store by more than the slack given below.
  const std::string name = "sdat" + std::string(115, 'x') + ".exe";
  sandbox.WriteFile("small/" + name, "small");
  const std::string recorded = "\"LatestUpdate\"=\"" + text::UCase(name) + "\"";
  struct Case {
    const char* what;
    fs::path alternate;
    Names local;
    bool recorded;
  };
  for (const Case& c : {Case{"copying, no alternate", {}, {}, false},
                        Case{"copying, then the alternate's package", small, {name}, true}}) {
    SCOPED_TRACE(c.what);
    fs::remove_all(local), sandbox.Folder("local");
    testing::WriteSettings(sandbox, {{"RemotePath", big.string()}, {"AlternateRemotePath", c.alternate.string()}});
    EXPECT_EQ(Run({"/Copy"}, 100000), 1) << program.Out();
    EXPECT_NE(program.Err().find(".frmMain.GetUpdatesCopy: 61, Disk full\n"), std::string::npos) << program.Err();
    EXPECT_EQ(testing::NamesIn(local), c.local);
    EXPECT_EQ(Sandbox::ReadFile(sandbox.RegistryFile()).find(recorded) != std::string::npos, c.recorded);
  }

  // Recording: a run that finds its package already there measures the store; the next one may not grow it.
  testing::WriteSettings(sandbox, {{"RemotePath", small.string()}, {"AlternateRemotePath", ""}});
  sandbox.WriteFile("local/" + name, "small");
  ASSERT_EQ(Run({"/Copy"}), 0) << program.Out();
  fs::remove(local / name);
  const std::string before = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_EQ(Run({"/Copy"}, static_cast<long>(before.size()) + 60), 1) << program.Out();
  EXPECT_NE(program.Err().find("Error updating registry:  112\r\nFor keyname: SOFTWARE\\Ambervale\\Kestrun\r\n"
                               "For variable: LatestUpdate"),
            std::string::npos)
      << program.Err();
  const std::string after = Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_EQ(after.find(recorded), std::string::npos) << "nothing recorded";
  EXPECT_EQ(after.substr(0, after.find("\"LatestRunDate\"")), before.substr(0, before.find("\"LatestRunDate\"")))
      << "the store is whole";
  EXPECT_EQ(testing::NamesIn(local), Names{name}) << "no temporary file of the store";
}

// A store path naming a folder, or a link to a pipe: one message naming it, at once (the pipe is not
// waited on), no run, nothing created beside it, and a failure status.
TEST_F(KestrunCopyCommandTest, AStoreThatIsNoFileIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo((sandbox.Root() / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", sandbox.Root() / "pipe.reg");
  for (const fs::path& store : {sandbox.Folder("folder.reg"), sandbox.Root() / "pipe.reg"}) {
    program.environment.push_back("KESTRUN_REGISTRY=" + store.string());
    EXPECT_EQ(Run({"/Copy"}), 1) << program.Out();
    EXPECT_EQ(program.Err(), "The settings store " + store.string() + " is not a file.\n");
    EXPECT_EQ(program.Out().find("Finished"), std::string::npos) << program.Out();
    EXPECT_FALSE(fs::exists(store.string() + ".lock"));
  }
}

}  // namespace
}  // namespace kestrun
