#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include "platform/Cancellation.h"

namespace kestrun::platform {
namespace {

bool WakeFdReadable() {
  pollfd p{InterruptWakeFd(), POLLIN, 0};
  return ::poll(&p, 1, 0) == 1;
}

TEST(Cancellation, FirstInterruptRequestsCancelAndWakesWaitersSecondEndsProcess) {
  struct sigaction saved[2];
  sigaction(SIGINT, nullptr, &saved[0]);
  sigaction(SIGTERM, nullptr, &saved[1]);
  ResetCancel();
  ASSERT_TRUE(InstallInterruptHandlers());

  for (int sig : {SIGINT, SIGTERM}) {
    ResetCancel();
    EXPECT_FALSE(WakeFdReadable()) << "a finished stop leaves nothing behind";
    ASSERT_EQ(raise(sig), 0);  // with the handler installed, the process lives on
    EXPECT_TRUE(CancelRequested()) << sig;
    EXPECT_TRUE(WakeFdReadable()) << "a wait on the descriptor ends";
    struct sigaction now;
    sigaction(sig, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL) << "a second signal " << sig << " must end the process";
    ASSERT_TRUE(InstallInterruptHandlers());
  }

  ResetCancel();
  EXPECT_FALSE(CancelRequested());
  sigaction(SIGINT, &saved[0], nullptr);
  sigaction(SIGTERM, &saved[1], nullptr);
}

}  // namespace
}  // namespace kestrun::platform
