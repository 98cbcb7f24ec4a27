// The real program on the console, as a scheduler starts it: `kestrun /Copy` with a store of its own.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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
  void WriteStore(const std::string& remote, const std::string& alternate, const std::string& extra = {}) {
    std::ofstream(sandbox.RegistryFile(), std::ios::binary)
        << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Ambervale\\Kestrun]\n"
        << "\"HostName\"=\"ftp.example.invalid\"\n\"AlternateHostName\"=\"ftp.example.invalid\"\n"
        << "\"RemotePath\"=\"" << remote << "\"\n\"AlternateRemotePath\"=\"" << alternate << "\"\n"
        << "\"FileMask\"=\"sdat*.exe\"\n\"LocalPath\"=\"" << local.string() << "\"\n\"SDATsToKeep\"=\"2\"\n" << extra;
  }

  // Runs the program; gives its exit status, and its standard output in `out`.
  int Run(const std::string& arguments, std::string& out) {
    const fs::path file = sandbox.Root() / "stdout.txt";
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY KESTRUN_UI=console NO_COLOR=1 KESTRUN_REGISTRY='" +
                                sandbox.RegistryFile().string() + "' '" + bin_.string() + "' " + arguments +
                                " </dev/null >'" + file.string() + "' 2>/dev/null";
    const int raw = std::system(command.c_str());
    out = testing::Sandbox::ReadFile(file);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }

  testing::Sandbox sandbox;
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

TEST_F(KestrunCopyCommandTest, ExitStatusTellsASchedulerHowTheRunWent) {
  const std::string gone = (sandbox.Root() / "gone").string();
  struct Case {
    std::string remote, alternate, arguments;
    int status;
  };
  for (const Case& c : {Case{gone, "", "/Copy", 1}, Case{gone, source.string(), "/Copy", 0},
                        Case{source.string(), "", "/Copy /copy", 2}}) {
    SCOPED_TRACE(c.remote + " | " + c.alternate + " | " + c.arguments);
    WriteStore(c.remote, c.alternate);
    std::string out;
    EXPECT_EQ(Run(c.arguments, out), c.status) << out;
    // A duplicate switch ends the program before the run; every other start runs to its end.
    EXPECT_EQ(out.size() >= 9 && out.compare(out.size() - 9, 9, "Finished\n") == 0, c.status != 2) << out;
  }
}

}  // namespace
}  // namespace kestrun
