#pragma once
#include <chrono>
#include <functional>
#include <string>

namespace kestrun::platform {

// One run at a time per settings store: an exclusive flock on a file beside the store, held while this
// object lives (the kernel lets go of it when the process dies, however it dies). A second run waits for
// it, handling window messages, and gives up after a time.
class RunLock {
 public:
  enum class Outcome {
    Held,         // ours until the process ends
    Busy,         // another run held it for the whole wait
    Unavailable,  // the lock file cannot be opened or locked (see Problem): run without it
    Stopped,      // Ctrl-C or SIGTERM while waiting
  };

  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Takes the lock on `path` (created when missing), waiting at most `wait`; `waiting` is called once
  // when the lock turns out to be held by another run.
  Outcome Acquire(const std::string& path, std::chrono::milliseconds wait, const std::function<void()>& waiting = {});
  const std::string& Problem() const { return problem_; }

 private:
  int fd_ = -1;
  std::string problem_;
};

// The run lock of the settings store in use: the store's file name followed by ".run.lock".
std::string RunLockPath();
// How long a run waits for another: KESTRUN_RUN_LOCK_WAIT seconds, 10 minutes when unset or not a number.
std::chrono::milliseconds RunLockWait();

}  // namespace kestrun::platform
