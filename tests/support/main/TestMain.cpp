// The entry of every GoogleTest program: the environment the tests rely on, set before any test runs, so
// that a program started by hand behaves as under ctest and never touches the user's settings or machine.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/HeadlessMainView.h"
#include "support/SystemFakes.h"

int main(int argc, char** argv) {
  const std::filesystem::path scratch = KESTRUN_TEST_SCRATCH;
  std::error_code ec;
  std::filesystem::create_directories(scratch / "xdg-runtime", ec);
  std::filesystem::permissions(scratch / "xdg-runtime", std::filesystem::perms::owner_all, ec);
  ::setenv("XDG_RUNTIME_DIR", (scratch / "xdg-runtime").c_str(), 0);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::setenv("KESTRUN_BIN", KESTRUN_BIN_PATH, 0);
  ::setenv("KESTRUN_TEST_DATA", KESTRUN_TEST_DATA_DIR, 0);
  // A throw-away store, even for a test that forgets its sandbox; nor the user's log file.
  ::setenv("KESTRUN_REGISTRY", (scratch / "test-registry-must-not-be-used.reg").c_str(), 1);
  ::unsetenv("KESTRUN_LOG");
  // Shut-down, log-off, screen and host-name requests are only recorded; windows draw nothing.
  kestrun::testing::FakeMachine machine;
  kestrun::testing::HeadlessViews views;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
