#include "platform/RunLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Cancellation.h"
#include "platform/StoreLocation.h"
#include "platform/WindowSystem.h"

namespace kestrun::platform {

RunLock::~RunLock() {
  if (fd_ >= 0) ::close(fd_);
}

RunLock::Outcome RunLock::Acquire(const std::string& path, std::chrono::milliseconds wait,
                                  const std::function<void()>& waiting) {
  // flock works on a descriptor opened for reading too: a lock file we may not write still serves.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    problem_ = path + ": " + std::strerror(errno);
    return Outcome::Unavailable;
  }
  fd_ = fd;
  // Timed waits between tries: the window stays alive and a stop request is seen within a slice.
  constexpr std::chrono::milliseconds kSlice{250};
  const auto deadline = std::chrono::steady_clock::now() + wait;
  bool told = false;
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return Outcome::Held;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      problem_ = path + ": " + std::strerror(errno);
      return Outcome::Unavailable;
    }
    if (!told && waiting) waiting();
    told = true;
    if (CancelRequested()) return Outcome::Stopped;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return Outcome::Busy;
    Windows().WaitFor(std::min(kSlice, left));
  }
}

std::string RunLockPath() { return SettingsStoreLocation().file + ".run.lock"; }

std::chrono::milliseconds RunLockWait() {
  if (const char* text = std::getenv("KESTRUN_RUN_LOCK_WAIT"); text && *text) {
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end == '\0' && seconds >= 0 && seconds <= 86400) {
      return std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
    }
  }
  return std::chrono::minutes(10);
}

}  // namespace kestrun::platform
