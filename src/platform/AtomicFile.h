#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/FileHandles.h"

namespace kestrun::platform {

// Writes a file so that its name holds either the old content or the whole new content, never a part:
// the data goes to a hidden temporary file beside the target, which is flushed to disk, renamed over
// the target, and the folder flushed so that the rename itself survives a crash. Every failure throws
// std::system_error carrying the errno value, and leaves the target as it was; the temporary file is
// removed on every way out (an exception of the caller's own included) unless the commit went through.
//
// The temporary name is "." + the target's name (cut to fit the name limit) + "." + six random
// characters + ".part": hidden, and matched by no package mask. A run that was killed can leave one
// behind; the next run recognises them by this pattern.
class AtomicFile {
 public:
  // What a symbolic link at the target means: a name the user set up to point elsewhere (the settings
  // store), whose file is to be replaced while the link stays; or a name in a folder that others may
  // write in and that comes from outside (a package from a server or a share), which must never lead a
  // write out of its folder, so the link itself is replaced by the file.
  enum class Links { Follow, Replace };

  // Creates the temporary file beside `target` (beside the file a followed link points to). The new
  // file gets `mode` or, without one, the permissions of the file it replaces, or of a new file under
  // the process's umask.
  explicit AtomicFile(const std::string& target, std::optional<mode_t> mode = std::nullopt,
                      Links links = Links::Follow);
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // The temporary file, open for writing (close-on-exec); -1 once committed.
  int Fd() const noexcept { return fd_.Get(); }
  // The file the commit replaces: the target, with a final symbolic link followed when asked to.
  const std::string& Target() const noexcept { return target_; }
  const std::string& TemporaryPath() const noexcept { return temporary_; }

  // Writes all of `data`.
  void Write(std::string_view data);

  // Makes the written data the target's. With `flush` the data is on disk before it takes the name and
  // the rename is on disk before this returns; without it a crash soon after may still lose either.
  // Without `replace` an existing target is left alone and EEXIST thrown. Once the rename is done the
  // target holds the new data even when flushing the folder fails (that failure is still thrown).
  void Commit(bool flush = true, bool replace = true);

 private:
  void Discard() noexcept;

  std::string target_;
  std::string folder_;
  std::string temporary_;
  UniqueFd fd_;
  int signalSlot_ = -1;
  bool committed_ = false;
};

// Whether `name` (a bare file name) is a temporary file of the kind AtomicFile makes for `targetName`:
// what a killed writer leaves behind.
bool IsTemporaryNameFor(std::string_view name, std::string_view targetName);

// The file `path` names once a symbolic link at its end is followed, through further links too; `path`
// itself when it is no link or does not exist. A link that points nowhere yet gives the path it points
// at, so writing through it creates that file.
std::string FollowFinalLink(const std::string& path);

}  // namespace kestrun::platform
