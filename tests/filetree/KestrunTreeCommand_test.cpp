// kestrun-tree on the console, as an administrator or a script runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <tuple>

#include "support/KestrunProgram.h"

namespace kestrun {
namespace {

namespace fs = std::filesystem;
using testing::Sandbox;

class KestrunTreeCommandTest : public ::testing::Test, protected Sandbox {
 protected:
  void SetUp() override {
    bin_ = testing::KestrunProgram::Binary().parent_path() / "kestrun-tree";  // built beside the main program
    if (!fs::is_regular_file(bin_)) GTEST_SKIP() << "no program at " << bin_;
    WriteFile("src/sub/a.txt", "a");
  }
  // Runs kestrun-tree with `arguments`: the exit status, and standard output (a terminal with `terminal`) in `out`.
  int Run(const std::string& arguments, std::string& out, bool terminal = false, const char* environment = "") {
    const fs::path file = Root() / "stdout.txt";
    std::string command = std::string("env -u NO_COLOR ") + environment + " '" + bin_.string() + "' " + At(arguments);
    if (terminal) command = "script -qec \"" + command + "\" /dev/null";
    const int raw = std::system((command + " </dev/null >'" + file.string() + "' 2>/dev/null").c_str());
    out = ReadFile(file);
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  fs::path bin_;
};

TEST_F(KestrunTreeCommandTest, ExitStatusSaysWhetherTheOperationWentThrough) {
  // arguments, exit status, a piece of standard output
  // clang-format off
  const std::tuple<std::string, int, std::string> rows[] = {
      {"mirror --keep-existing @/src @/dst", 0, "copied from"},
      {"mirror @/src @/quiet --skip .zip --only-errors", 0, "Skipping: ZIP\n \n \nOK!\n"},  // a.txt copied unreported
      {"mirror @/src @/src/in", 1, "starts with"},
      {"create @/new/one", 0, "Folder @/new created\nFolder @/new/one created\n"},
      {"delete @/new", 0, "Folder @/new deleted\n"},
      {"delete @/new", 1, "Failed to delete folder @/new\n"},
      {"remove-empty -- @/src", 0, "Delete all folders in @/src not containing any files\n"},
      {"empty @/dst 30", 0, "Delete everything in @/dst older than 30 days\n"},
      {"remove-old @/dst/sub/a.txt 1", 0, "not deleted"},
      {"--help", 0, "Usage: kestrun-tree"},
      {"empty @/dst 1 --version", 0, "kestrun-tree 1.00.00\n"},
      // Usage errors.
      {"", 2, ""}, {"copy @/src @/dst", 2, ""}, {"mirror @/src", 2, ""}, {"mirror @/src @/dst --skip", 2, ""},
      {"mirror @/src @/dst --delete", 2, ""}, {"empty @/src -1", 2, ""}, {"empty @/src 2147483648", 2, ""},
      {"remove-old @/src soon", 2, ""}, {"create @/x --skip zip", 2, ""}};
  // clang-format on
  for (const auto& [arguments, status, output] : rows) {
    SCOPED_TRACE(arguments);
    std::string out;
    EXPECT_EQ(Run(arguments, out), status) << out;
    EXPECT_NE(out.find(At(output)), std::string::npos) << out;
    EXPECT_EQ(out.find("\x1b["), std::string::npos) << "colours when not on a terminal";
  }
}

TEST_F(KestrunTreeCommandTest, RedAndBlueOnATerminalUnlessNoColor) {
  if (std::system("command -v script >/dev/null") != 0) GTEST_SKIP() << "no script(1) for a terminal";
  WriteFile("src/young.txt", "y");
  std::string out;
  EXPECT_EQ(Run("empty @/src 5", out, true), 0);
  EXPECT_NE(out.find("\x1b[34mFile "), std::string::npos) << out;
  EXPECT_EQ(Run("delete @/nowhere", out, true), 1);
  EXPECT_NE(out.find("\x1b[31mFailed to delete folder "), std::string::npos) << out;
  EXPECT_EQ(Run("delete @/nowhere", out, true, "NO_COLOR=1"), 1);
  EXPECT_EQ(out.find("\x1b["), std::string::npos) << out;
}

}  // namespace
}  // namespace kestrun
