#include "util/FileSystemObject.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>
#include <unordered_map>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileHandles.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "util/RuntimeError.h"

namespace kestrun {

namespace fs = std::filesystem;

namespace {

// The runtime error number for an errno value. `missing` is what a missing item means to the caller:
// 53 when the file itself is missing, 76 when the folder it should be in is.
int ErrorNumberFor(int e, int missing) {
  switch (e) {
    case ENOENT: return missing;
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY: return err::PermissionDenied;
    case EEXIST:
    case ENOTEMPTY: return err::FileAlreadyExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::DiskFull;
    case EIO: return err::DeviceIoError;
    case ENOMEM: return err::OutOfMemory;
    default: return err::PathFileAccessError;
  }
}

[[noreturn]] void RaiseErrno(int e, int missing) { Raise(ErrorNumberFor(e, missing)); }

std::chrono::system_clock::time_point ToTimePoint(const timespec& ts) {
  return std::chrono::system_clock::from_time_t(ts.tv_sec) +
         std::chrono::duration_cast<std::chrono::system_clock::duration>(std::chrono::nanoseconds(ts.tv_nsec));
}

bool IsSep(char c) { return c == '/'; }

std::string StripTrailingSeparators(std::string path) {
  while (path.size() > 1 && IsSep(path.back())) path.pop_back();
  return path;
}

// Splits "a/b/c" into the folder "a/b" and the name "c" ("" and "c" for a bare name, "/" for the root).
void SplitLast(const std::string& path, std::string& folder, std::string& name) {
  std::string p = StripTrailingSeparators(path);
  std::size_t slash = p.find_last_of('/');
  if (slash == std::string::npos) {
    folder.clear();
    name = p;
    return;
  }
  name = p.substr(slash + 1);
  std::size_t end = slash;
  while (end > 0 && IsSep(p[end - 1])) --end;
  folder = end == 0 ? std::string("/") : p.substr(0, end);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (IsSep(folder.back())) return folder + name;
  return folder + '/' + name;
}

std::string Absolute(const std::string& path) {
  if (!path.empty() && IsSep(path.front())) return path;
  std::error_code ec;
  fs::path cwd = fs::current_path(ec);
  if (ec) return path;
  return Join(cwd.string(), path);
}

std::string LastComponent(const std::string& path) {
  std::string folder, name;
  SplitLast(path, folder, name);
  return name;
}

bool StatFollow(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

bool IsReadOnly(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

int AttributesOf(const std::string& path) {
  struct stat st;
  if (!StatFollow(path, st)) RaiseErrno(errno, err::FileNotFound);
  int value = 0;
  if (IsReadOnly(st)) value |= fsattr::ReadOnly;
  if (S_ISDIR(st.st_mode)) value |= fsattr::Directory;
  return value;
}

void ApplyAttributes(const std::string& path, int value) {
  struct stat st;
  if (!StatFollow(path, st)) RaiseErrno(errno, err::FileNotFound);
  mode_t mode = st.st_mode & 07777;
  mode_t wanted = (value & fsattr::ReadOnly) ? (mode & ~S_IWUSR) : (mode | S_IWUSR);
  if (wanted != mode && ::chmod(path.c_str(), wanted) != 0) RaiseErrno(errno, err::FileNotFound);
}

// Moves the whole of `in` to `out`, in the kernel where it can (copy_file_range, then sendfile), through
// a large buffer otherwise. Returns the number of bytes moved.
std::uintmax_t CopyData(int in, int out) {
  std::uintmax_t total = 0;
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
    if (n > 0) {
      total += static_cast<std::uintmax_t>(n);
      continue;
    }
    if (n == 0) return total;
    if (errno == EINTR) continue;
    if (total == 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) break;
    RaiseErrno(errno, err::FileNotFound);
  }
  for (;;) {
    ssize_t n = ::sendfile(out, in, nullptr, kChunk);
    if (n > 0) {
      total += static_cast<std::uintmax_t>(n);
      continue;
    }
    if (n == 0) return total;
    if (errno == EINTR) continue;
    if (total == 0 && (errno == EINVAL || errno == ENOSYS)) break;
    RaiseErrno(errno, err::FileNotFound);
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return total;
    if (n < 0) {
      if (errno == EINTR) continue;
      RaiseErrno(errno, err::FileNotFound);
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
      if (w < 0) {
        if (errno == EINTR) continue;
        RaiseErrno(errno, err::PathNotFound);
      }
      done += w;
    }
    total += static_cast<std::uintmax_t>(n);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------------------
// Case-folded names. Finding "SDAT4300.EXE" as sdat4300.exe means reading the folder; doing that for
// every lookup would make a scan of a large folder (each file tested in another folder) quadratic. So
// each folder read is kept as an index from the upper-case name to the name on disk, valid while the
// folder's modification time is unchanged. An index read within a moment of the folder's last change
// is not trusted (a further change in the same clock tick would not move the time); changes this object
// makes itself are applied to the index directly. Exact names never go through the index.

struct FileSystemObject::FoldedNames {
  struct Index {
    timespec mtime{};
    bool trusted = false;
    std::unordered_map<std::string, std::string> names;  // upper-case -> name on disk; "" when ambiguous
  };
  static constexpr std::size_t kMaxFolders = 64;
  std::unordered_map<std::string, Index> folders;

  static bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

  static bool Settled(const timespec& mtime) {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    long long ageNs =
        (static_cast<long long>(now.tv_sec) - mtime.tv_sec) * 1000000000LL + (now.tv_nsec - mtime.tv_nsec);
    return ageNs > 50LL * 1000000LL;
  }

  static void Add(Index& index, const std::string& name) {
    auto [it, inserted] = index.names.emplace(text::UCase(name), name);
    if (!inserted && it->second != name) it->second.clear();
  }

  // `known`: what stat said of the folder a moment ago, when the caller has just asked.
  Index* Read(const std::string& folder, const struct stat* known = nullptr) {
    struct stat st;
    if (known) {
      st = *known;
    } else if (!StatFollow(folder, st)) {
      folders.erase(folder);
      return nullptr;
    }
    if (!S_ISDIR(st.st_mode)) {
      folders.erase(folder);
      return nullptr;
    }
    auto found = folders.find(folder);
    if (found != folders.end() && found->second.trusted && SameTime(found->second.mtime, st.st_mtim)) {
      return &found->second;
    }
    platform::UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) return nullptr;
    Index index;
    index.mtime = st.st_mtim;  // taken before reading: a change during the read shows next time
    index.trusted = Settled(st.st_mtim);
    int error = 0;
    while (dirent* entry = dir.Next(error)) {
      std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      Add(index, name);
    }
    // A listing broken off is no index: a name it never reached would pass for missing.
    if (error != 0) return nullptr;
    if (folders.size() >= kMaxFolders && found == folders.end()) folders.clear();
    Index& stored = folders[folder];
    stored = std::move(index);
    return &stored;
  }

  void Note(const std::string& folder, const std::string& name, bool added) {
    auto found = folders.find(folder);
    if (found == folders.end()) return;
    struct stat st;
    if (!StatFollow(folder, st)) {
      folders.erase(found);
      return;
    }
    Index& index = found->second;
    if (added) {
      Add(index, name);
    } else {
      auto it = index.names.find(text::UCase(name));
      if (it != index.names.end() && it->second.empty()) {
        folders.erase(found);  // was ambiguous: which names remain is only known by reading again
        return;
      }
      if (it != index.names.end() && it->second == name) index.names.erase(it);
    }
    index.mtime = st.st_mtim;
    index.trusted = true;
  }
};

FileSystemObject::FileSystemObject() : folded_(std::make_unique<FoldedNames>()) {}
FileSystemObject::~FileSystemObject() = default;

std::optional<std::string> FileSystemObject::ResolveExisting(const std::string& path) {
  if (path.empty()) return std::nullopt;
  struct stat st;
  if (::lstat(path.c_str(), &st) == 0) return path;
  if (errno != ENOENT) return std::nullopt;

  std::string current = IsSep(path.front()) ? "/" : "";
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(pos, end - pos);
    pos = end + 1;
    if (component.empty()) continue;
    std::string candidate = Join(current, component);
    if (::lstat(candidate.c_str(), &st) == 0) {
      current = std::move(candidate);
      continue;
    }
    if (errno != ENOENT || component == "." || component == "..") return std::nullopt;
    FoldedNames::Index* index = folded_->Read(current.empty() ? "." : current);
    if (!index) return std::nullopt;
    auto it = index->names.find(text::UCase(component));
    if (it == index->names.end() || it->second.empty()) return std::nullopt;
    current = Join(current, it->second);
  }
  if (IsSep(path.back()) && !IsSep(current.back())) current += '/';
  return current;
}

std::optional<std::string> FileSystemObject::StatExisting(const std::string& path, struct stat& st) {
  if (path.empty()) return std::nullopt;
  if (StatFollow(path, st)) return path;
  if (errno != ENOENT) return std::nullopt;
  auto resolved = ResolveExisting(path);
  if (!resolved || !StatFollow(*resolved, st)) return std::nullopt;
  return resolved;
}

bool FileSystemObject::FileExists(const std::string& path) {
  struct stat st;
  return StatExisting(path, st) && S_ISREG(st.st_mode);
}

bool FileSystemObject::FolderExists(const std::string& path) {
  struct stat st;
  return StatExisting(path, st) && S_ISDIR(st.st_mode);
}

FsoFile FileSystemObject::GetFile(const std::string& path) {
  if (path.empty()) Raise(err::InvalidProcedureCall);
  struct stat st;
  auto resolved = StatExisting(path, st);
  if (!resolved || !S_ISREG(st.st_mode)) Raise(err::FileNotFound);
  std::string full = Absolute(*resolved);
  return FsoFile(full, LastComponent(full));
}

FsoFolder FileSystemObject::GetFolder(const std::string& path) {
  if (path.empty()) Raise(err::InvalidProcedureCall);
  struct stat st;
  auto resolved = StatExisting(path, st);
  if (!resolved || !S_ISDIR(st.st_mode)) Raise(err::PathNotFound);
  std::string full = StripTrailingSeparators(Absolute(*resolved));
  return FsoFolder(full, full == "/" ? std::string() : LastComponent(full));
}

void FileSystemObject::CopyFile(const std::string& source, const std::string& destination, bool overwrite,
                                CopyOptions options) {
  if (source.empty() || destination.empty()) Raise(err::InvalidProcedureCall);

  // Each name is looked up once as given; only a missing one is resolved without regard to case.
  struct stat sourceStat;
  auto sourcePath = StatExisting(source, sourceStat);
  if (!sourcePath || !S_ISREG(sourceStat.st_mode)) Raise(err::FileNotFound);

  // Where the copy goes: a destination ending in a separator is a folder that receives the file under
  // the source's name; any other is the new file's full name.
  std::string folder, name;
  if (IsSep(destination.back())) {
    folder = StripTrailingSeparators(destination);
    name = LastComponent(*sourcePath);
  } else {
    SplitLast(destination, folder, name);
    if (name.empty() || name == "." || name == "..") Raise(err::PermissionDenied);
    if (folder.empty()) folder.assign(1, '.');  // (not = ".": GCC 12 warns wrongly about that)
  }

  // A destination that is there as given needs nothing more. Otherwise its folder may be spelt in
  // another case, and an existing file keeps its own name, whatever the case it was asked for in.
  std::string target = Join(folder, name);
  struct stat targetStat;
  bool exists = !options.newFile && ::lstat(target.c_str(), &targetStat) == 0;
  if (!exists && !options.newFile) {
    if (errno != ENOENT) RaiseErrno(errno, err::PathNotFound);
    struct stat folderStat;
    auto folderPath = StatExisting(folder, folderStat);
    if (!folderPath || !S_ISDIR(folderStat.st_mode)) Raise(err::PathNotFound);
    if (*folderPath != folder) {
      folder = StripTrailingSeparators(*folderPath);
      target = Join(folder, name);
      exists = ::lstat(target.c_str(), &targetStat) == 0;
    }
    FoldedNames::Index* index = exists ? nullptr : folded_->Read(folder, &folderStat);
    if (index) {
      auto it = index->names.find(text::UCase(name));
      if (it != index->names.end() && !it->second.empty()) {
        name = it->second;
        target = Join(folder, name);
        exists = ::lstat(target.c_str(), &targetStat) == 0;
      }
    }
  }
  if (exists) {
    struct stat st;
    if (S_ISLNK(targetStat.st_mode) && StatFollow(target, st)) targetStat = st;
    if (S_ISDIR(targetStat.st_mode)) Raise(err::PermissionDenied);
    if (!overwrite) Raise(err::FileAlreadyExists);
    if (IsReadOnly(targetStat)) Raise(err::PermissionDenied);
    if (targetStat.st_dev == sourceStat.st_dev && targetStat.st_ino == sourceStat.st_ino) return;  // itself
  }

  platform::UniqueFd in(::open(sourcePath->c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) RaiseErrno(errno, err::FileNotFound);
  if (::fstat(in.Get(), &sourceStat) != 0) RaiseErrno(errno, err::FileNotFound);
  try {
    platform::AtomicFile out(target, sourceStat.st_mode & 0777, platform::AtomicFile::Links::Replace);
    std::uintmax_t copied = CopyData(in.Get(), out.Fd());
    // A source cut short while it was read must not pass for a complete copy.
    if (copied < static_cast<std::uintmax_t>(sourceStat.st_size)) Raise(err::DeviceIoError);
    const timespec times[2] = {{0, UTIME_NOW}, sourceStat.st_mtim};
    if (::futimens(out.Fd(), times) != 0) RaiseErrno(errno, err::PathNotFound);
    // Flushed or not, the copy takes its name whole: a failure or a stop never leaves half a file under
    // it. Flushing decides whether a power cut soon afterwards can (see CopyFlush).
    out.Commit(options.flush == CopyFlush::Now, overwrite && !options.newFile);
  } catch (const std::system_error& e) {
    RaiseErrno(e.code().value(), err::PathNotFound);
  }
  folded_->Note(folder, name, true);
}

void FileSystemObject::DeleteFile(const std::string& path, bool force) {
  if (path.empty()) Raise(err::InvalidProcedureCall);
  struct stat st;
  auto resolved = StatExisting(path, st);
  if (!resolved || !S_ISREG(st.st_mode)) Raise(err::FileNotFound);
  if (!force && IsReadOnly(st)) Raise(err::PermissionDenied);
  if (::unlink(resolved->c_str()) != 0) RaiseErrno(errno, err::FileNotFound);
  std::string folder, name;
  SplitLast(*resolved, folder, name);
  folded_->Note(folder.empty() ? "." : folder, name, false);
}

void FileSystemObject::DeleteFolder(const std::string& path, bool force) {
  if (path.empty()) Raise(err::InvalidProcedureCall);
  auto resolved = ResolveExisting(path);
  struct stat st;
  if (!resolved || ::lstat(StripTrailingSeparators(*resolved).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    Raise(err::PathNotFound);
  }
  std::string folderPath = StripTrailingSeparators(*resolved);
  std::string folder, name;
  SplitLast(folderPath, folder, name);
  // The root, "." and ".." are never removed: that would take the tree they stand in with them.
  if (folderPath == "/" || name.empty() || name == "." || name == "..") Raise(err::PermissionDenied);

  if (!force) {
    // Nothing goes when anything inside is read-only, rather than leaving half a tree behind.
    if (IsReadOnly(st)) Raise(err::PermissionDenied);
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folderPath, ec), end; !ec && it != end; it.increment(ec)) {
      struct stat inner;
      if (::lstat(it->path().c_str(), &inner) == 0 && !S_ISLNK(inner.st_mode) && IsReadOnly(inner)) {
        Raise(err::PermissionDenied);
      }
    }
    if (ec) RaiseErrno(ec.value(), err::PathNotFound);
  }
  std::error_code ec;
  fs::remove_all(folderPath, ec);
  if (ec) RaiseErrno(ec.value(), err::PathNotFound);
  folded_->Note(folder.empty() ? "." : folder, name, false);
}

FsoFolder FileSystemObject::CreateFolder(const std::string& path) {
  std::string wanted = StripTrailingSeparators(path);
  if (wanted.empty()) Raise(err::InvalidProcedureCall);
  if (ResolveExisting(wanted)) Raise(err::FileAlreadyExists);
  std::string givenFolder, name;
  SplitLast(wanted, givenFolder, name);
  if (name.empty() || name == "." || name == "..") Raise(err::FileAlreadyExists);
  std::string folder = ".";
  if (!givenFolder.empty()) {
    struct stat st;
    auto folderPath = StatExisting(givenFolder, st);
    if (!folderPath || !S_ISDIR(st.st_mode)) Raise(err::PathNotFound);
    folder = StripTrailingSeparators(*folderPath);
  }
  std::string created = Join(folder, name);
  if (::mkdir(created.c_str(), 0777) != 0) RaiseErrno(errno, err::PathNotFound);
  folded_->Note(folder, name, true);
  std::string full = Absolute(created);
  return FsoFolder(full, name);
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(const std::string& path, int ioMode, bool /*create*/,
                                                           int format) {
  // Only reading bytes is offered: the program reads files and never writes text through the object.
  if (ioMode != iomode::ForReading || (format != tristate::False && format != -2)) Raise(err::InvalidProcedureCall);
  struct stat st;
  auto resolved = StatExisting(path, st);
  if (!resolved || !S_ISREG(st.st_mode)) Raise(err::FileNotFound);
  return std::make_unique<TextStream>(*resolved);
}

// ---------------------------------------------------------------------------------------------------------

std::uintmax_t FsoFile::Size() const {
  struct stat st;
  if (!StatFollow(path_, st)) RaiseErrno(errno, err::FileNotFound);
  return static_cast<std::uintmax_t>(st.st_size);
}

std::chrono::system_clock::time_point FsoFile::DateLastModified() const {
  struct stat st;
  if (!StatFollow(path_, st)) RaiseErrno(errno, err::FileNotFound);
  return ToTimePoint(st.st_mtim);
}

std::chrono::system_clock::time_point FsoFile::DateLastAccessed() const {
  struct stat st;
  if (!StatFollow(path_, st)) RaiseErrno(errno, err::FileNotFound);
  return ToTimePoint(st.st_atim);
}

int FsoFile::Attributes() const { return AttributesOf(path_); }
void FsoFile::SetAttributes(int value) const { ApplyAttributes(path_, value); }
int FsoFolder::Attributes() const { return AttributesOf(path_); }
void FsoFolder::SetAttributes(int value) const { ApplyAttributes(path_, value); }

// ---------------------------------------------------------------------------------------------------------

namespace {
template <class Item>
bool Wanted(const fs::directory_entry& entry);
template <>
bool Wanted<FsoFile>(const fs::directory_entry& entry) {
  std::error_code ec;
  return entry.is_regular_file(ec);
}
template <>
bool Wanted<FsoFolder>(const fs::directory_entry& entry) {
  std::error_code ec;
  return entry.is_directory(ec);
}
}  // namespace

template <class Item>
void FsoCollection<Item>::iterator::Advance(bool step) {
  const fs::directory_iterator end;
  std::error_code ec;
  if (step && it_ != end) {
    it_.increment(ec);
    if (ec) RaiseErrno(ec.value(), err::PathNotFound);
  }
  for (; it_ != end; it_.increment(ec)) {
    if (ec) RaiseErrno(ec.value(), err::PathNotFound);
    if (Wanted<Item>(*it_)) {
      current_.emplace(it_->path().string(), it_->path().filename().string());
      return;
    }
  }
  if (ec) RaiseErrno(ec.value(), err::PathNotFound);
  current_.reset();
}

template <class Item>
typename FsoCollection<Item>::iterator FsoCollection<Item>::begin() const {
  std::error_code ec;
  fs::directory_iterator it(folder_, ec);
  if (ec) RaiseErrno(ec.value(), err::PathNotFound);
  return iterator(std::move(it));
}

template <class Item>
long FsoCollection<Item>::Count() const {
  long count = 0;
  for (auto it = begin(); it != end(); ++it) ++count;
  return count;
}

template class FsoCollection<FsoFile>;
template class FsoCollection<FsoFolder>;

// ---------------------------------------------------------------------------------------------------------

TextStream::TextStream(const std::string& path) {
  errno = 0;
  in_.open(path, std::ios::binary);
  if (!in_) Raise(errno == EACCES || errno == EPERM ? err::PermissionDenied : err::PathFileAccessError);
  open_ = true;
}

std::string TextStream::Read(long characters) {
  if (!open_ || characters < 0) Raise(err::InvalidProcedureCall);
  std::string out;
  // Read in pieces: the count asked for may be far larger than the file.
  constexpr long kPiece = 1L << 16;
  while (characters > 0 && in_) {
    long piece = characters < kPiece ? characters : kPiece;
    std::size_t before = out.size();
    out.resize(before + static_cast<std::size_t>(piece));
    in_.read(out.data() + before, piece);
    std::streamsize got = in_.gcount();
    out.resize(before + static_cast<std::size_t>(got));
    characters -= static_cast<long>(got);
    if (got < piece) break;
  }
  if (in_.bad()) Raise(err::DeviceIoError);
  return out;
}

void TextStream::Skip(long characters) {
  if (!open_ || characters < 0) Raise(err::InvalidProcedureCall);
  in_.seekg(characters, std::ios::cur);
  if (!in_) Raise(err::InputPastEnd);
}

bool TextStream::AtEndOfStream() {
  if (!open_) Raise(err::InvalidProcedureCall);
  return in_.peek() == std::char_traits<char>::eof();
}

void TextStream::Close() {
  if (open_) in_.close();
  open_ = false;
}

// ---------------------------------------------------------------------------------------------------------

std::shared_ptr<FileSystemObject> CreateFileSystemObject() {
  try {
    return std::make_shared<FileSystemObject>();
  } catch (...) {
    platform::Windows().MsgBox("Windows Scripting Host not available!", platform::mb::OkOnly, platform::App().Title);
    platform::EndProgramAtOnce(1);
  }
}

std::shared_ptr<FileSystemObject> SharedFileSystemObject(std::shared_ptr<FileSystemObject>& member) {
  if (!member) member = CreateFileSystemObject();
  return member;
}

}  // namespace kestrun
