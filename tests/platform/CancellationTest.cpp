#include <gtest/gtest.h>
#include <signal.h>

#include "platform/Cancellation.h"

namespace kestrun::platform {
namespace {

TEST(Cancellation, FirstInterruptRequestsCancelSecondEndsProcess) {
  struct sigaction saved[2];
  sigaction(SIGINT, nullptr, &saved[0]);
  sigaction(SIGTERM, nullptr, &saved[1]);
  ResetCancel();
  InstallInterruptHandlers();

  for (int sig : {SIGINT, SIGTERM}) {
    ResetCancel();
    ASSERT_EQ(raise(sig), 0);  // with the handler installed, the process lives on
    EXPECT_TRUE(CancelRequested()) << sig;
    struct sigaction now;
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "a second signal " << sig << " must end the process";
  }

  ResetCancel();
  EXPECT_FALSE(CancelRequested());
  sigaction(SIGINT, &saved[0], nullptr);
  sigaction(SIGTERM, &saved[1], nullptr);
}

}  // namespace
}  // namespace kestrun::platform
