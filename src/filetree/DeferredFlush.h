#pragma once
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/FileHandles.h"

namespace kestrun::filetree {

// The file systems that received copies made without waiting for the disk. A mirror copies many files
// and records none of them, so it need not wait after each one: it makes the whole tree durable at once
// (one syncfs a file system) before it reports success.
class DeferredFlush {
 public:
  // Takes note of the folder a copy is about to go into. False when its file system cannot be reached
  // later (the folder cannot be opened): that copy has to reach the disk by itself.
  bool Hold(const std::string& folder);
  // Flushes each file system held, once, and forgets them. False when one could not be flushed or had
  // failed to write back meanwhile: the copies on it may not be on disk.
  bool FlushAll();

 private:
  std::string lastFolder_;
  bool lastHeld_ = false;
  // One open folder a file system; opened before the first copy onto it, so that a write-back failure
  // of any later copy shows in its flush.
  std::vector<std::pair<dev_t, platform::UniqueFd>> held_;
};

}  // namespace kestrun::filetree
