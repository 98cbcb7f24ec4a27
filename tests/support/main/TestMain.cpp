// The entry of every GoogleTest program: sets up the environment the tests may rely on before any
// test runs, so that a test program started by hand behaves as under ctest and never touches the
// user's own settings store.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/HeadlessMainView.h"
#include "support/SystemFakes.h"

namespace {

void SetDefault(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 0); }

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path scratch = KESTRUN_TEST_SCRATCH;
  std::error_code ec;
  std::filesystem::create_directories(scratch / "xdg-runtime", ec);
  std::filesystem::permissions(scratch / "xdg-runtime", std::filesystem::perms::owner_all, ec);
  SetDefault("XDG_RUNTIME_DIR", (scratch / "xdg-runtime").string());
  SetDefault("QT_QPA_PLATFORM", "offscreen");
  SetDefault("KESTRUN_BIN", KESTRUN_BIN_PATH);
  SetDefault("KESTRUN_TEST_DATA", KESTRUN_TEST_DATA_DIR);
  // Always a throw-away store: a test that forgets its sandbox must not write the user's settings.
  ::setenv("KESTRUN_REGISTRY", (scratch / "test-registry-must-not-be-used.reg").c_str(), 1);
  // No test acts on the machine running it: shut-down, log-off, screen and host-name requests are
  // recorded by a stand-in unless a test installs its own.
  kestrun::testing::FakeMachine machine;
  // Main windows draw nothing and keep what they show for the tests to read.
  kestrun::testing::HeadlessViews views;
  // Nor the user's log file.
  ::unsetenv("KESTRUN_LOG");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
