#include "platform/Cancellation.h"

#include <signal.h>

#include <atomic>

namespace kestrun::platform {
namespace {

// Set from a signal handler: only a lock-free atomic may be touched there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int) { cancelRequested.store(true, std::memory_order_relaxed); }

}  // namespace

void RequestCancel() noexcept { cancelRequested.store(true, std::memory_order_relaxed); }
bool CancelRequested() noexcept { return cancelRequested.load(std::memory_order_relaxed); }
void ResetCancel() noexcept { cancelRequested.store(false, std::memory_order_relaxed); }

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND puts the default action back as the handler runs: a second signal ends the process.
  // SA_RESTART keeps interrupted system calls of the run going; the transfers poll the flag.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

}  // namespace kestrun::platform
