#include "platform/Cancellation.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kestrun::platform {
namespace {

// Set from a signal handler: only a lock-free atomic may be touched there.
std::atomic<bool> cancelRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnSecondInterrupt(int signal);

// Installs `handler` for SIGINT and SIGTERM. Both stay blocked while either handler runs, so a second
// signal that arrives meanwhile meets the handler the first one left in place.
void HandleInterrupts(void (*handler)(int)) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  sigaddset(&action.sa_mask, SIGINT);
  sigaddset(&action.sa_mask, SIGTERM);
  // SA_RESTART keeps interrupted system calls of the run going; the transfers poll the flag.
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

extern "C" void OnInterrupt(int) {
  cancelRequested.store(true, std::memory_order_relaxed);
  HandleInterrupts(OnSecondInterrupt);  // sigaction is async-signal-safe
}

}  // namespace

void RequestCancel() noexcept { cancelRequested.store(true, std::memory_order_relaxed); }
bool CancelRequested() noexcept { return cancelRequested.load(std::memory_order_relaxed); }
void ResetCancel() noexcept { cancelRequested.store(false, std::memory_order_relaxed); }

void InstallInterruptHandlers() { HandleInterrupts(OnInterrupt); }

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
