#include "platform/Cancellation.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace kestrun::platform {
namespace {

// Set from a signal handler: only a lock-free atomic may be touched there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// The self-pipe: the handler writes one byte, waits watch the read end.
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnSecondInterrupt(int signal);

// Installs `handler` for SIGINT and SIGTERM. Both stay blocked while either handler runs, so a second
// signal that arrives meanwhile meets the handler the first one left in place. False when either could
// not be installed.
bool HandleInterrupts(void (*handler)(int)) noexcept {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  // SA_RESTART keeps interrupted system calls of the run going; the transfers poll the flag.
  action.sa_flags = SA_RESTART;
  return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

extern "C" void OnInterrupt(int) {
  const int saved = errno;
  cancelRequested.store(true, std::memory_order_relaxed);
  const int fd = wakeWrite.load(std::memory_order_relaxed);
  if (fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);  // a full pipe is already readable
  }
  HandleInterrupts(OnSecondInterrupt);  // sigaction is async-signal-safe
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
  return HandleInterrupts(OnInterrupt);
}

bool IgnoreBrokenPipes() {
  struct sigaction action {};
  action.sa_handler = SIG_IGN;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGPIPE, &action, nullptr) == 0;
}

// ---- temporary files removed by a second signal ----------------------------------------------------

namespace {

enum SlotState : int { Free, Filling, Held, Removing };

struct HeldFile {
  std::atomic<int> state{Free};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free);

HeldFile heldFiles[8];

// Async-signal-safe: atomics and unlink only. A slot another thread is filling or releasing right now
// is left alone rather than risk removing a half-copied path.
void RemoveHeldFiles() noexcept {
  for (HeldFile& held : heldFiles) {
    int expected = Held;
    if (held.state.compare_exchange_strong(expected, Removing)) ::unlink(held.path);
  }
}

extern "C" void OnSecondInterrupt(int signal) {
  RemoveHeldFiles();
  // Ended by the signal itself, as the default action would have: the parent sees why. The signal is
  // blocked while this runs, so it is delivered, with the default action, as soon as this returns.
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

int HoldTemporaryFile(const char* path) noexcept {
  const std::size_t length = path ? std::strlen(path) : 0;
  if (length == 0 || length >= PATH_MAX) return -1;
  for (int slot = 0; slot < static_cast<int>(std::size(heldFiles)); ++slot) {
    HeldFile& held = heldFiles[slot];
    int expected = Free;
    if (!held.state.compare_exchange_strong(expected, Filling)) continue;
    std::memcpy(held.path, path, length + 1);
    held.state.store(Held);
    return slot;
  }
  return -1;
}

void ReleaseTemporaryFile(int slot) noexcept {
  if (slot < 0 || slot >= static_cast<int>(std::size(heldFiles))) return;
  // A slot a signal handler is removing stays taken: the process is ending anyway.
  int expected = Held;
  heldFiles[slot].state.compare_exchange_strong(expected, Free);
}

}  // namespace kestrun::platform
