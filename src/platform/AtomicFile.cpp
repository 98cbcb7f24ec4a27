#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/Cancellation.h"
#include "platform/Text.h"

namespace kestrun::platform {
namespace {

// "." + name + "." + six random characters + ".part" must stay within the file system's name limit.
constexpr std::size_t kTemporaryExtra = 1 + 1 + 6 + 5;
// Links are followed this many times at most, as the system itself does.
constexpr int kMaxLinks = 40;

[[noreturn]] void Throw(int error, const char* what, const std::string& path) {
  throw std::system_error(error, std::generic_category(), what + path);
}

// Reads errno before anything else can change it (the message is built only afterwards).
[[noreturn]] void ThrowErrno(const char* what, const std::string& path) { Throw(errno, what, path); }

void SplitFolder(const std::string& path, std::string& folder, std::string& name) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    folder = ".";
    name = path;
  } else {
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
  }
}

// At most `limit` bytes of `name`, never ending inside a UTF-8 character.
std::string_view CutName(std::string_view name, std::size_t limit) {
  if (name.size() <= limit) return name;
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
  return name.substr(0, cut);
}

// The permission bits a new file gets: 0666 less the umask. The umask is read from the process's
// status rather than set and reset, which would leave other threads a moment of umask 0.
mode_t NewFileMode() {
  mode_t mask = 022;
  if (FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status)) {
      unsigned value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        mask = static_cast<mode_t>(value);
        break;
      }
    }
    std::fclose(status);
  }
  return 0666 & ~mask;
}

}  // namespace

bool IsTemporaryNameFor(std::string_view name, std::string_view targetName) {
  const std::string_view kept = CutName(targetName, NAME_MAX - kTemporaryExtra);
  if (name.size() != kept.size() + kTemporaryExtra || name.front() != '.' || name.substr(1, kept.size()) != kept)
    return false;
  const std::string_view tail = name.substr(1 + kept.size());  // ".XXXXXX.part"
  if (tail[0] != '.' || tail.substr(7) != ".part") return false;
  for (char c : tail.substr(1, 6)) {
    if (!text::IsAsciiAlnum(c)) return false;
  }
  return true;
}

std::string FollowFinalLink(const std::string& path) {
  std::string current = path;
  for (int i = 0; i < kMaxLinks; ++i) {
    struct stat st {};
    if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return current;
    std::string link(buffer, static_cast<std::size_t>(n));
    if (link.front() != '/') {
      std::string folder, name;
      SplitFolder(current, folder, name);
      link = (folder == "/" ? "" : folder) + "/" + link;
    }
    current = std::move(link);
  }
  return current;  // a loop of links: the open below fails with ELOOP-like errors of its own
}

AtomicFile::AtomicFile(const std::string& target, std::optional<mode_t> mode, Links links) {
  if (target.empty()) Throw(EINVAL, "no file name", target);
  target_ = links == Links::Follow ? FollowFinalLink(target) : target;
  std::string name;
  SplitFolder(target_, folder_, name);
  if (name.empty() || name == "." || name == "..") Throw(EISDIR, "", target_);

  if (!mode) {
    // A link that is replaced lends nothing: its permissions are not those of a file.
    struct stat st {};
    mode = ::lstat(target_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) ? (st.st_mode & 07777) : NewFileMode();
  }

  std::string pattern =
      (folder_ == "/" ? "" : folder_) + "/." + std::string(CutName(name, NAME_MAX - kTemporaryExtra)) + ".XXXXXX.part";
  const int fd = ::mkostemps(pattern.data(), 5, O_CLOEXEC);
  if (fd < 0) ThrowErrno("cannot create a file in ", folder_);
  fd_.Reset(fd);
  temporary_ = std::move(pattern);
  signalSlot_ = HoldTemporaryFile(temporary_.c_str());
  // Done here rather than at the commit, so that the caller may still change it (or the file's times)
  // through Fd(). The file is ours and open for writing whatever the bits say.
  if (::fchmod(fd, *mode) != 0) {
    const int error = errno;
    Discard();
    Throw(error, "cannot set the permissions of ", temporary_);
  }
}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::Discard() noexcept {
  fd_.Reset();
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
  ReleaseTemporaryFile(signalSlot_);
  signalSlot_ = -1;
}

void AtomicFile::Write(std::string_view data) {
  if (!fd_) Throw(EBADF, "", temporary_);
  while (!data.empty()) {
    const ssize_t n = ::write(fd_.Get(), data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno("cannot write ", temporary_);
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

void AtomicFile::Commit(bool flush, bool replace) {
  if (!fd_) Throw(EBADF, "", temporary_);
  // On disk before it takes the target's name: after a crash the target is the old file or the whole
  // new one, never a name recorded as done over data the disk never received. A file system that
  // cannot sync this kind of file says EINVAL; there is nothing to wait for then.
  if (flush && ::fdatasync(fd_.Get()) != 0 && errno != EINVAL) ThrowErrno("cannot flush ", temporary_);
  // Late write errors (network file systems) show at the close.
  if (fd_.Close() != 0) ThrowErrno("cannot write ", temporary_);

  // From here a second Ctrl-C leaves the file to the next run: it must never remove the name once
  // that may be the target's.
  ReleaseTemporaryFile(signalSlot_);
  signalSlot_ = -1;
  if (replace) {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowErrno("cannot rename over ", target_);
  } else if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) != 0) {
    // A file system without the no-replace rename: check, then rename; nobody else writes our folder's
    // package names at the same moment.
    if (errno != EINVAL) ThrowErrno("cannot rename to ", target_);
    struct stat st {};
    if (::lstat(target_.c_str(), &st) == 0) Throw(EEXIST, "", target_);
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) ThrowErrno("cannot rename over ", target_);
  }
  committed_ = true;

  if (!flush) return;
  // The rename is an entry in the folder: it survives a crash only once the folder is on disk too. A
  // folder we may write in but not read cannot be opened to be flushed; the rename stands all the same.
  UniqueFd folder(::open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!folder) {
    if (errno == EACCES || errno == EPERM) return;
    ThrowErrno("cannot open ", folder_);
  }
  if (::fsync(folder.Get()) != 0 && errno != EINVAL) ThrowErrno("cannot flush ", folder_);
}

}  // namespace kestrun::platform
