// The real program on the console, as a scheduler starts it: `kestrun /Copy` with a store of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "support/Sandbox.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;

class KestrunCopyCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // KESTRUN_BIN names the program; without it, the one built beside the tests.
    const char* named = std::getenv("KESTRUN_BIN");
    std::error_code ec;
    bin_ = named && *named ? fs::path(named) : fs::read_symlink("/proc/self/exe", ec).parent_path().parent_path() / "src" / "kestrun";
    if (!fs::is_regular_file(bin_, ec)) GTEST_SKIP() << "no program at " << bin_;
  }

  // A hand-written store holding every setting, so that no question is asked.
  void WriteStore(const std::string& remote, const std::string& alternate, const std::string& extra = {},
                  const std::string& mask = "sdat*.exe") {
    std::ofstream(sandbox.RegistryFile(), std::ios::binary)
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n"
        << "\"HostName\"=\"ftp.example.invalid\"\n\"AlternateHostName\"=\"ftp.example.invalid\"\n"
        << "\"RemotePath\"=\"" << remote << "\"\n\"AlternateRemotePath\"=\"" << alternate << "\"\n"
        << "\"FileMask\"=\"" << mask << "\"\n\"LocalPath\"=\"" << local.string() << "\"\n\"SDATsToKeep\"=\"2\"\n" << extra;
  }

  // Runs the program; gives its exit status, its standard output in `out` and its standard error in
  // `err`. A file-size limit (bytes) stands in for a full disk, even for root: writes beyond it fail.
  int Run(const std::string& arguments, std::string& out, long fileSizeLimit = 0) {
    const fs::path file = sandbox.Root() / "stdout.txt";
    const fs::path errors = sandbox.Root() / "stderr.txt";
    const std::string limit =
        fileSizeLimit > 0 ? "trap '' XFSZ; exec prlimit --fsize=" + std::to_string(fileSizeLimit) + " " : "exec ";
    const std::string command = limit + "env -u DISPLAY -u WAYLAND_DISPLAY KESTRUN_UI=console NO_COLOR=1 KESTRUN_REGISTRY='" +
                                registry.string() + "' '" + bin_.string() + "' " + arguments + " </dev/null >'" +
                                file.string() + "' 2>'" + errors.string() + "'";
    const int raw = std::system(command.c_str());
    out = testing::Sandbox::ReadFile(file);
    err = testing::Sandbox::ReadFile(errors);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  std::set<std::string> LocalNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(local)) names.insert(entry.path().filename().string());
    return names;
  }

  testing::Sandbox sandbox;
  fs::path registry = sandbox.RegistryFile();
  std::string err;
  const fs::path source = sandbox.Folder("source");
  const fs::path local = sandbox.Folder("local");
  fs::path bin_;
};

TEST_F(KestrunCopyCommandTest, DoesTheWholeJobAndSucceeds) {
  for (const char* name : {"sdat4299.exe", "sdat4300.exe", "sdat4301.exe"}) sandbox.WriteFile("source/" + std::string(name), name);
  for (const char* name : {"sdat4297.exe", "sdat4298.exe", "sdat4300.exe"}) sandbox.WriteFile("local/" + std::string(name), name);
  WriteStore(source.string(), source.string(), "\"LatestUpdate\"=\"SDAT4300.EXE\"\n\"LatestUpdateDate\"=\"then\"\n");

  std::string out;
  EXPECT_EQ(Run("/Copy /Rename:setup.exe", out), 0) << out;
  const std::string l = local.string() + "/";
  EXPECT_NE(out.find("\nLatest download on this PC: SDAT4300.EXE (then)\ncopy " + (source / "sdat4301.exe").string() +
                     " " + l + "sdat4301.exe\nsdat4301.exe copied!\nsdat4301.exe renamed to setup.exe\n"
                     "Removing old SDATs...\nsdat4297.exe removed\nFinished\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(testing::Sandbox::ReadFile(local / "setup.exe"), "sdat4301.exe");
  EXPECT_FALSE(fs::exists(local / "sdat4301.exe"));
  const std::string store = testing::Sandbox::ReadFile(sandbox.RegistryFile());
  EXPECT_NE(store.find("\"LatestUpdate\"=\"SDAT4301.EXE\""), std::string::npos) << store;
  EXPECT_EQ(store.find("\"then\""), std::string::npos) << "the date of the copy is recorded";
}

// 0 when the last source tried ran through; 1 when it failed or an error report was shown (here the
// pruning's, on a mask it cannot read); 2 for a duplicate switch.
TEST_F(KestrunCopyCommandTest, ExitStatusTellsASchedulerHowTheRunWent) {
  const std::string gone = (sandbox.Root() / "gone").string();
  sandbox.WriteFile("local/sdat4000.exe", "old");
  struct Case {
    std::string remote, alternate, arguments;
    int status;
    std::string mask = "sdat*.exe";
  };
  for (const Case& c : {Case{gone, "", "/Copy", 1}, Case{gone, source.string(), "/Copy", 0},
                        Case{source.string(), source.string(), "/Copy", 1, "sdat[.exe"},
                        Case{source.string(), "", "/Copy /copy", 2}}) {
    SCOPED_TRACE(c.remote + " | " + c.alternate + " | " + c.arguments + " | " + c.mask);
    WriteStore(c.remote, c.alternate, {}, c.mask);
    std::string out;
    EXPECT_EQ(Run(c.arguments, out), c.status) << out;
    // A duplicate switch ends the program before the run; every other start runs to its end.
    EXPECT_EQ(out.size() >= 9 && out.compare(out.size() - 9, 9, "Finished\n") == 0, c.status != 2) << out;
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
  const std::string report = ".frmMain.GetUpdatesCopy: 61, Disk full\n";
  const std::string recorded = "\"LatestUpdate\"=\"" + text::UCase(name) + "\"";
  struct Case {
    const char* what;
    fs::path remote, alternate;
    std::string message;
    std::set<std::string> local;
    bool recorded;
  };
  for (const Case& c : {Case{"copying, no alternate", big, {}, report, {}, false},
                        Case{"copying, then the alternate's package", big, small, report, {name}, true}}) {
    SCOPED_TRACE(c.what);
    for (const auto& entry : fs::directory_iterator(local)) fs::remove(entry.path());
    WriteStore(c.remote.string(), c.alternate.string());
    std::string out;
    EXPECT_EQ(Run("/Copy", out, 100000), 1) << out;
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_EQ(LocalNames(), c.local);
    EXPECT_EQ(testing::Sandbox::ReadFile(registry).find(recorded) != std::string::npos, c.recorded);
  }

  // Recording: a run that finds its package already there measures the store; the next one may not grow it.
  WriteStore(small.string(), "");
  sandbox.WriteFile("local/" + name, "small");
  std::string out;
  ASSERT_EQ(Run("/Copy", out), 0) << out;
  fs::remove(local / name);
  const std::string before = testing::Sandbox::ReadFile(registry);
  EXPECT_EQ(Run("/Copy", out, static_cast<long>(before.size()) + 60), 1) << out;
  EXPECT_NE(err.find("Error updating registry:  112\r\nFor keyname: SOFTWARE\\Ambervale\\Kestrun\r\nFor variable: LatestUpdate"),
            std::string::npos)
      << err;
  const std::string after = testing::Sandbox::ReadFile(registry);
  EXPECT_EQ(after.find(recorded), std::string::npos) << "nothing recorded";
  EXPECT_EQ(after.substr(0, after.find("\"LatestRunDate\"")), before.substr(0, before.find("\"LatestRunDate\"")))
      << "the store is whole";
  EXPECT_EQ(LocalNames(), std::set<std::string>{name}) << "no temporary file of the store";
}

// A store path naming a folder, or a link to a pipe: one message naming it, at once (the pipe is not
// waited on), no run, nothing created beside it, and a failure status.
TEST_F(KestrunCopyCommandTest, AStoreThatIsNoFileIsRefusedAtOnce) {
  ASSERT_EQ(::mkfifo((sandbox.Root() / "pipe").c_str(), 0600), 0);
  fs::create_symlink("pipe", sandbox.Root() / "pipe.reg");
  for (const fs::path& store : {sandbox.Folder("folder.reg"), sandbox.Root() / "pipe.reg"}) {
    registry = store;
    std::string out;
    EXPECT_EQ(Run("/Copy", out), 1) << out;
    EXPECT_EQ(err, "The settings store " + store.string() + " is not a file.\n");
    EXPECT_EQ(out.find("Finished"), std::string::npos) << out;
    EXPECT_FALSE(fs::exists(store.string() + ".lock"));
  }
}

}  // namespace
}  // namespace kestrun
