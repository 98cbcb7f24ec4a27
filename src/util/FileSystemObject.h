#pragma once
#include <sys/stat.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>

namespace kestrun {

// The file-system object: lists, inspects, copies, deletes and reads files and folders. Every failure
// raises a RuntimeError carrying the number callers test for (53 file not found, 58 file already exists,
// 61 disk full, 70 permission denied, 75 path/file access error, 76 path not found).
//
// Names are found the way a Windows file system finds them: the exact path first and, when that is
// missing, each component without regard to letter case (a unique match in its folder). So a package
// recorded as "SDAT4300.EXE" is found as sdat4300.exe. New files and folders keep the case they are given.

class FileSystemObject;

// Attribute bits as the program reads and writes them.
namespace fsattr {
inline constexpr int ReadOnly = 1;  // the owner may not write; the only bit that can be changed
inline constexpr int Directory = 16;
}  // namespace fsattr

// One file. The object names a path; every property asks the file system when it is read.
class FsoFile {
 public:
  FsoFile(std::string path, std::string name) : path_(std::move(path)), name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  const std::string& Path() const { return path_; }
  std::uintmax_t Size() const;
  std::chrono::system_clock::time_point DateLastModified() const;
  std::chrono::system_clock::time_point DateLastAccessed() const;
  int Attributes() const;
  // Only the read-only bit is applied; other bits are ignored.
  void SetAttributes(int value) const;

 private:
  std::string path_;
  std::string name_;
};

// One folder.
class FsoFolder;

// The files or the sub-folders of a folder, in the order the file system lists them. Each pass reads
// the folder anew and lazily, one entry at a time.
template <class Item>
class FsoCollection {
 public:
  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Item;
    using difference_type = std::ptrdiff_t;
    using pointer = const Item*;
    using reference = const Item&;

    iterator() = default;
    reference operator*() const { return *current_; }
    pointer operator->() const { return &*current_; }
    iterator& operator++() {
      Advance(true);
      return *this;
    }
    bool operator==(const iterator& other) const { return it_ == other.it_; }

   private:
    friend class FsoCollection;
    explicit iterator(std::filesystem::directory_iterator it) : it_(std::move(it)) { Advance(false); }
    void Advance(bool step);

    std::filesystem::directory_iterator it_;
    std::optional<Item> current_;
  };

  explicit FsoCollection(std::string folderPath) : folder_(std::move(folderPath)) {}
  iterator begin() const;
  iterator end() const { return iterator(); }
  // Counts by reading the folder once.
  long Count() const;

 private:
  std::string folder_;
};

class FsoFolder {
 public:
  FsoFolder(std::string path, std::string name) : path_(std::move(path)), name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  // Full path, without a trailing separator (except for the root).
  const std::string& Path() const { return path_; }
  int Attributes() const;
  void SetAttributes(int value) const;
  FsoCollection<FsoFile> Files() const { return FsoCollection<FsoFile>(path_); }
  FsoCollection<FsoFolder> SubFolders() const { return FsoCollection<FsoFolder>(path_); }

 private:
  std::string path_;
  std::string name_;
};

// A file opened for reading, one character per byte.
class TextStream {
 public:
  explicit TextStream(const std::string& path);
  // Up to `characters` bytes; fewer at the end of the file.
  std::string Read(long characters);
  void Skip(long characters);
  bool AtEndOfStream();
  void Close();

 private:
  std::ifstream in_;
  bool open_ = false;
};

// When a copy reaches the disk. `Now`: its data and its name are on disk before CopyFile returns, which
// a caller needs that records the copy right afterwards (a power cut must not leave the record pointing
// at a file the disk never received). `Later`: whenever the system writes it back; a caller that copies
// many files and records nothing per file makes them durable at once when it is done (syncfs), which is
// far quicker than waiting for the disk after each one.
enum class CopyFlush { Now, Later };

// How CopyFile goes about a copy; the defaults suit a caller that copies a package and records it.
struct CopyOptions {
  CopyFlush flush = CopyFlush::Now;
  // The caller vouches that the destination's folder exists as given and holds no file of the
  // destination's name in any letter case: it listed the folder once for many copies. The copy then
  // looks nothing up, and takes the name only while it is still free (a file that has appeared there
  // meanwhile stays, and the copy fails with 58).
  bool newFile = false;
};

// Modes of OpenTextFile, with the script runtime's numbers.
namespace iomode {
inline constexpr int ForReading = 1;
}
namespace tristate {
inline constexpr int False = 0;  // one character per byte
}

class FileSystemObject {
 public:
  FileSystemObject();
  ~FileSystemObject();
  FileSystemObject(const FileSystemObject&) = delete;
  FileSystemObject& operator=(const FileSystemObject&) = delete;

  bool FileExists(const std::string& path);
  bool FolderExists(const std::string& path);
  FsoFile GetFile(const std::string& path);
  FsoFolder GetFolder(const std::string& path);

  // Copies a file. A destination ending in a separator is an existing folder that receives the file
  // under the source's name; any other destination is the new file's full name. The data goes to a
  // hidden temporary file beside the destination (".<name>.XXXXXX.part") that is renamed into place, so
  // a failed copy never leaves a half file under the destination's name. A read-only destination is not
  // replaced (70), and without overwrite an existing one is not either (58). A destination that is a
  // symbolic link is replaced by the copy: a name from a share never leads a write out of its folder.
  // The copy keeps the source's permissions and modification time, as a Windows copy does.
  void CopyFile(const std::string& source, const std::string& destination, bool overwrite = true,
                CopyOptions options = {});
  // Without force a read-only file (or, for a folder, anything read-only inside it) is not deleted (70).
  void DeleteFile(const std::string& path, bool force = false);
  void DeleteFolder(const std::string& path, bool force = false);
  // Creates one folder level in an existing parent; an existing item of that name raises 58.
  FsoFolder CreateFolder(const std::string& path);
  // Reading is the only mode (1); no creation; format 0 (bytes).
  std::unique_ptr<TextStream> OpenTextFile(const std::string& path, int ioMode = iomode::ForReading,
                                           bool create = false, int format = tristate::False);

  // The existing item the path names, the case of its components resolved; nothing when there is none.
  std::optional<std::string> ResolveExisting(const std::string& path);

 private:
  // The existing item `path` names, a final link followed, with what stat says of it: the exact path
  // when it is there (one look-up), else the path with its letter case resolved. Nothing (errno set)
  // when there is none.
  std::optional<std::string> StatExisting(const std::string& path, struct stat& st);

  // The case-folded name indexes of the folders looked into (see FileSystemObject.cpp).
  struct FoldedNames;
  std::unique_ptr<FoldedNames> folded_;
};

// Creates a file-system object. Never fails for a lack of the platform component on Linux, but keeps
// the program's rule: when one cannot be made, the user is told "Windows Scripting Host not available!"
// and the program ends at once.
std::shared_ptr<FileSystemObject> CreateFileSystemObject();

// The lazily created file-system object held by an owner (`FSO` accessors): creates it on first use and
// hands out the same instance afterwards.
std::shared_ptr<FileSystemObject> SharedFileSystemObject(std::shared_ptr<FileSystemObject>& member);

}  // namespace kestrun
