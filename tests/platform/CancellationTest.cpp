#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>

#include "platform/Cancellation.h"
#include "support/Sandbox.h"

namespace kestrun::platform {
namespace {

bool WakeFdReadable() {
  pollfd p{InterruptWakeFd(), POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}

// In a child, since the second signal ends the process: the first asks to cancel and wakes the waits,
// the second removes the held temporary file (not a released one) and ends the process by that signal.
TEST(Cancellation, FirstInterruptRequestsCancelSecondRemovesHeldFilesAndEndsProcess) {
  testing::Sandbox sandbox;
  for (auto [first, sig] : {std::pair{SIGINT, SIGINT}, std::pair{SIGTERM, SIGINT}, std::pair{SIGINT, SIGTERM}}) {
    const auto held = sandbox.WriteFile(".sdat4301.exe.abcdef.part", "half");
    const auto released = sandbox.WriteFile(".setup.exe.ghijkl.part", "whole");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      if (!InstallInterruptHandlers()) ::_exit(9);
      ResetCancel();
      if (WakeFdReadable()) ::_exit(12);  // a finished stop leaves nothing behind
      HoldTemporaryFile(held.c_str());
      ReleaseTemporaryFile(HoldTemporaryFile(released.c_str()));
      ::raise(first);
      if (!CancelRequested()) ::_exit(10);
      if (!WakeFdReadable()) ::_exit(13);
      ::raise(sig);
      ::_exit(11);  // still alive after the second signal
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": status " << status;
    EXPECT_FALSE(std::filesystem::exists(held)) << sig;
    EXPECT_TRUE(std::filesystem::exists(released)) << sig;
  }
  EXPECT_EQ(HoldTemporaryFile(""), -1);
  EXPECT_EQ(HoldTemporaryFile(std::string(5000, 'x').c_str()), -1);
}

}  // namespace
}  // namespace kestrun::platform
