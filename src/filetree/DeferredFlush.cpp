#include "filetree/DeferredFlush.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrun::filetree {

bool DeferredFlush::Hold(const std::string& folder) {
  // The files of one folder are copied one after the other: a folder is opened once, not per file.
  const std::string path = folder.empty() ? std::string("./") : folder;
  if (path == lastFolder_) return lastHeld_;
  lastFolder_ = path;
  lastHeld_ = false;
  platform::UniqueFd fd(::open(lastFolder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  if (!fd || ::fstat(fd.Get(), &st) != 0) return false;
  lastHeld_ = true;
  for (const auto& held : held_) {
    if (held.first == st.st_dev) return true;
  }
  held_.emplace_back(st.st_dev, std::move(fd));
  return true;
}

bool DeferredFlush::FlushAll() {
  bool flushed = true;
  for (const auto& held : held_) {
    if (::syncfs(held.second.Get()) != 0) flushed = false;
  }
  held_.clear();
  lastFolder_.clear();
  lastHeld_ = false;
  return flushed;
}

}  // namespace kestrun::filetree
