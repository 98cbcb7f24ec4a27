#pragma once
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kestrun::platform {

// A file descriptor that closes itself. Where a failing close matters (late write errors on network
// file systems), call Close and look at its result.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  int Get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  int Release() noexcept { return std::exchange(fd_, -1); }
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  // Closes now: 0, or -1 with errno. The descriptor is gone either way.
  int Close() noexcept {
    const int fd = Release();
    return fd >= 0 ? ::close(fd) : 0;
  }

 private:
  int fd_ = -1;
};

// An open folder listing that closes itself.
class UniqueDir {
 public:
  UniqueDir() = default;
  explicit UniqueDir(DIR* dir) noexcept : dir_(dir) {}
  UniqueDir(UniqueDir&& other) noexcept : dir_(std::exchange(other.dir_, nullptr)) {}
  UniqueDir& operator=(UniqueDir&& other) noexcept {
    if (this != &other) {
      if (dir_) ::closedir(dir_);
      dir_ = std::exchange(other.dir_, nullptr);
    }
    return *this;
  }
  ~UniqueDir() {
    if (dir_) ::closedir(dir_);
  }

  DIR* Get() const noexcept { return dir_; }
  explicit operator bool() const noexcept { return dir_ != nullptr; }

  // The next entry; nullptr at the end of the folder and on a failure, which sets `error` (0 at the
  // end): a folder that cannot be read on is not a folder that has nothing more in it.
  dirent* Next(int& error) noexcept {
    errno = 0;
    dirent* entry = ::readdir(dir_);
    error = entry ? 0 : errno;
    return entry;
  }

 private:
  DIR* dir_ = nullptr;
};

}  // namespace kestrun::platform
