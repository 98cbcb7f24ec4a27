#include "platform/Cancellation.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace kestrun::platform {
namespace {

// Set from a signal handler: only a lock-free atomic may be touched there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The self-pipe: the handler writes one byte, waits watch the read end.
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int) {
  cancelRequested.store(true, std::memory_order_relaxed);
  const int saved = errno;
  const int fd = wakeWrite.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe is already readable
  }
  errno = saved;
}

bool OpenWakePipe() {
  if (wakeRead.load() >= 0) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  wakeRead.store(fds[0]);
  wakeWrite.store(fds[1]);
  return true;
}

}  // namespace

void RequestCancel() noexcept { cancelRequested.store(true, std::memory_order_relaxed); }
bool CancelRequested() noexcept { return cancelRequested.load(std::memory_order_relaxed); }
void ResetCancel() noexcept {
  cancelRequested.store(false, std::memory_order_relaxed);
  DrainInterruptWakeFd();
}

int InterruptWakeFd() noexcept {
  OpenWakePipe();
  return wakeRead.load();
}

void DrainInterruptWakeFd() noexcept {
  const int fd = wakeRead.load();
  if (fd < 0) return;
  char buffer[64];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
}

bool InstallInterruptHandlers() {
  if (!OpenWakePipe()) return false;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  // SA_RESETHAND puts the default action back as the handler runs: a second signal ends the process.
  // SA_RESTART keeps interrupted system calls of the run going; the transfers poll the flag.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

bool IgnoreBrokenPipes() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGPIPE, &action, nullptr) == 0;
}

}  // namespace kestrun::platform
