// The registry functions over the store file: where the file lives, locking, atomic rewrites and handles.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/FileHandles.h"
#include "platform/RegistryApi.h"
#include "platform/RegistryDocument.h"
#include "platform/StoreLocation.h"

namespace kestrun::platform::reg {

using detail::Document;
using detail::Key;

namespace {

// ---- where the store lives -----------------------------------------------------------------------

struct StorePaths {
  std::string file;
  std::string lock;  // flock'ed beside the store; the store itself is replaced by rename on every change
  std::string folder;
  bool machineWide = false;  // root's store: a folder only root may enter, a file only root may read
};

StorePaths CurrentStorePaths() {
  const StoreLocation location = SettingsStoreLocation();
  const std::filesystem::path file = location.file;
  StorePaths p;
  p.file = file.string();
  p.lock = p.file + ".lock";
  std::filesystem::path folder = file.parent_path();
  p.folder = folder.empty() ? "." : folder.string();
  p.machineWide = location.machineWide;
  return p;
}

LONG StatusOfErrno(int e) {
  switch (e) {
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return ERROR_ACCESS_DENIED;
    case ENOENT:
    case ENOTDIR:
    case ELOOP: return ERROR_PATH_NOT_FOUND;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_REGISTRY_IO_FAILED;
  }
}

// Opens the lock file beside the store and takes the lock. A writer creates the lock file when it is
// missing; a reader creates nothing: it opens the lock file read-only (flock does not care), and when
// there is none yet the read goes without a lock. Writers replace the store only by rename, so such a
// read still sees one whole file.
LONG TakeLock(const StorePaths& paths, bool exclusive, UniqueFd& lock) {
  int fd = exclusive ? ::open(paths.lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644) : -1;
  if (fd < 0) fd = ::open(paths.lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) {
    if (exclusive) return StatusOfErrno(errno);
    return ERROR_SUCCESS;
  }
  lock.Reset(fd);
  while (::flock(fd, exclusive ? LOCK_EX : LOCK_SH) != 0) {
    if (errno != EINTR) return StatusOfErrno(errno);
  }
  return ERROR_SUCCESS;
}

// A store path that names something other than a file (a folder, a pipe, a device), directly or through
// a link, is refused before anything is opened or locked: opening a pipe would wait for a writer for
// ever, and a lock file beside a folder would be litter. A missing store is fine: an empty registry.
LONG CheckStoreKind(const StorePaths& paths) {
  struct stat st {};
  if (::stat(paths.file.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return ERROR_SUCCESS;
    return StatusOfErrno(errno);
  }
  return S_ISREG(st.st_mode) ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size && a.st_nlink == b.st_nlink &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec &&
         a.st_ctim.tv_sec == b.st_ctim.tv_sec && a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

// ---- what was read -------------------------------------------------------------------------------

// The registry as read from the store at one moment. It holds the file open, so that its inode cannot be
// reused while we compare against it: as long as the store path still names that same, unchanged file,
// the parsed document is still the truth and need not be read again.
struct Snapshot {
  std::string path;
  bool exists = false;
  struct stat st {};
  UniqueFd file;
  LONG status = ERROR_SUCCESS;  // ERROR_BADDB when the file does not parse, else the read's failure
  detail::ParseFailure damage;  // with ERROR_BADDB: where and why
  Document doc;

  bool StillCurrent(const std::string& currentPath) const {
    if (currentPath != path) return false;
    struct stat now {};
    if (::stat(path.c_str(), &now) != 0) return !exists && errno == ENOENT;
    return exists && SameFile(now, st);
  }

  // The same question asked of the file held open, without looking the path up again: several times
  // quicker, which is what makes a listing through a handle cheap. Replacing the store by rename
  // unlinks the file read, which changes its link count; editing it in place changes its times. Only
  // the path coming to name another file while this one stays as it was (a link retargeted) escapes
  // it, which is why a change to the store asks StillCurrent under its lock instead. A handle stays
  // with the store it was opened in, as a registry handle stays with its hive.
  bool Unchanged(const std::string& currentPath) const {
    if (!exists || !file) return StillCurrent(currentPath);
    struct stat now {};
    return ::fstat(file.Get(), &now) == 0 && SameFile(now, st);
  }
};

bool ReadAll(int fd, std::size_t size, std::string& out) {
  out.resize(size);
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = ::read(fd, out.data() + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  out.resize(done);
  return true;
}

// Reads and parses the store. The caller holds the lock (or knowingly goes without, see TakeLock).
std::shared_ptr<Snapshot> ReadStore(const StorePaths& paths) {
  auto snap = std::make_shared<Snapshot>();
  snap->path = paths.file;
  // Without waiting, should a pipe have taken the store's place since it was looked at.
  int fd = ::open(paths.file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    // No file (or a file where its folder should be): an empty registry, until something is written.
    if (errno != ENOENT && errno != ENOTDIR) snap->status = StatusOfErrno(errno);
    return snap;
  }
  snap->file.Reset(fd);
  snap->exists = true;
  if (::fstat(fd, &snap->st) != 0) {
    snap->status = StatusOfErrno(errno);
    return snap;
  }
  if (!S_ISREG(snap->st.st_mode)) {
    snap->status = ERROR_ACCESS_DENIED;
    return snap;
  }
  if (static_cast<std::uint64_t>(snap->st.st_size) > detail::MaxStoreFileBytes) {
    snap->status = ERROR_BADDB;
    snap->damage = {0, detail::TooLargeFault};
    return snap;
  }
  std::string text;
  if (!ReadAll(fd, static_cast<std::size_t>(snap->st.st_size), text)) {
    snap->status = StatusOfErrno(errno);
    return snap;
  }
  if (auto doc = detail::ParseDocument(text, &snap->damage)) {
    snap->doc = std::move(*doc);
  } else {
    snap->status = ERROR_BADDB;
  }
  return snap;
}

std::shared_ptr<Snapshot> ReadStoreShared(const StorePaths& paths) {
  std::error_code ec;
  if (!std::filesystem::is_directory(paths.folder, ec)) return ReadStore(paths);  // nothing there yet
  // Taking a shared lock creates nothing, so a store that is no file can be left to ReadStore to refuse.
  UniqueFd lock;
  if (LONG status = TakeLock(paths, false, lock); status != ERROR_SUCCESS) {
    auto snap = std::make_shared<Snapshot>();
    snap->path = paths.file;
    snap->status = status;
    return snap;
  }
  return ReadStore(paths);
}

// Makes sure a change can be written: the store is a file or missing, its folder exists (it is created
// when missing), and neither the folder the file is written in (that of the file a link points to) nor
// an existing store file is read-only for us. 0, or the status the write would fail with.
LONG PrepareForWrite(const StorePaths& paths) {
  if (LONG status = CheckStoreKind(paths); status != ERROR_SUCCESS) return status;
  std::error_code ec;
  if (!std::filesystem::is_directory(paths.folder, ec)) {
    std::filesystem::create_directories(paths.folder, ec);
    if (ec) return StatusOfErrno(ec.value());
    if (paths.machineWide) std::filesystem::permissions(paths.folder, std::filesystem::perms::owner_all, ec);
  }
  const std::filesystem::path written = FollowFinalLink(paths.file);
  const std::string folder = written.has_parent_path() ? written.parent_path().string() : ".";
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) != 0) return StatusOfErrno(errno);
  if (::faccessat(AT_FDCWD, paths.file.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return StatusOfErrno(errno);
  }
  return ERROR_SUCCESS;
}

// Removes what writers of this store that were killed halfway left behind. Every writer holds the
// exclusive lock for the whole of its write, as the caller does now, so any temporary file of the store
// found now is such a leftover. Once per store and process: it means reading the folder.
void RemoveLeftovers(const std::string& target) {
  static std::mutex mutex;
  static std::string done;
  std::lock_guard guard(mutex);
  if (done == target) return;
  const std::filesystem::path path(target);
  const std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
  const std::string name = path.filename().string();
  UniqueDir dir(::opendir(folder.c_str()));
  if (!dir) return;
  int error = 0;
  while (dirent* entry = dir.Next(error)) {
    if (IsTemporaryNameFor(entry->d_name, name)) ::unlinkat(dirfd(dir.Get()), entry->d_name, 0);
  }
  if (error == 0) done = target;
}

// Replaces the store with `doc` through the program's one safe way of replacing a file (a link at the
// store stays a link), keeping the old file's permissions; a new machine-wide store is for root's eyes
// only. The caller holds the exclusive lock.
LONG WriteStore(const StorePaths& paths, Snapshot& written) {
  RemoveLeftovers(FollowFinalLink(paths.file));
  try {
    const std::string text = detail::SerializeDocument(written.doc);
    std::optional<mode_t> mode;
    struct stat existing {};
    if (paths.machineWide && ::stat(paths.file.c_str(), &existing) != 0) mode = 0600;
    AtomicFile file(paths.file, mode);
    file.Write(text);
    file.Commit();
  } catch (const std::system_error& e) {
    return StatusOfErrno(e.code().value());
  }
  // What was written stays the truth for later calls while the store is that same file. Under the
  // lock nobody else replaces it, so the file opened now is the one just written.
  written.path = paths.file;
  written.exists = true;
  written.status = ERROR_SUCCESS;
  written.file.Reset(::open(paths.file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!written.file || ::fstat(written.file.Get(), &written.st) != 0) {
    written.file.Reset();
    written.exists = false;  // never taken for current: the next call reads the file again
    written.path.clear();
  }
  return ERROR_SUCCESS;
}

// One change to the store under the exclusive lock. `change` edits the document and says whether it
// changed anything; an unchanged document is not written. `reuse` may hold what the caller read before;
// it is used when the store has not changed since, and replaced by what was written.
using Change = std::function<LONG(Document&, bool& changed)>;

LONG ChangeStore(const Change& change, std::shared_ptr<Snapshot>* reuse = nullptr) {
  StorePaths paths = CurrentStorePaths();
  if (LONG status = PrepareForWrite(paths); status != ERROR_SUCCESS) return status;
  UniqueFd lock;
  if (LONG status = TakeLock(paths, true, lock); status != ERROR_SUCCESS) return status;

  std::shared_ptr<Snapshot> current;
  if (reuse && *reuse && reuse->use_count() == 1 && (*reuse)->StillCurrent(paths.file)) {
    current = std::move(*reuse);
  } else {
    current = ReadStore(paths);
  }
  if (reuse) reuse->reset();
  if (current->status != ERROR_SUCCESS) return current->status;

  bool changed = false;
  LONG status = change(current->doc, changed);
  if (status != ERROR_SUCCESS || !changed) {
    // The document is untouched (a change that fails makes no edit), so it stays good to reuse.
    if (reuse) *reuse = std::move(current);
    return status;
  }
  auto written = std::make_shared<Snapshot>();
  written->doc = std::move(current->doc);
  status = WriteStore(paths, *written);
  if (status == ERROR_SUCCESS && reuse) *reuse = std::move(written);
  return status;
}

// ---- handles -------------------------------------------------------------------------------------

// Where a listing of sub-keys through a handle stands: the entry of `index` in the sub-keys of `key`,
// within the document of `snap`. Listing index after index then steps from one entry to the next
// instead of walking the ordered sub-keys from their start each time.
struct SubKeyCursor {
  std::shared_ptr<Snapshot> snap;
  const Key* key = nullptr;
  DWORD index = 0;
  std::map<std::string, std::unique_ptr<Key>>::const_iterator at;
};

struct OpenKey {
  int root = -1;
  std::vector<std::string> names;  // below the root, as given
  REGSAM access = 0;
  std::shared_ptr<Snapshot> snap;
  SubKeyCursor cursor;
};

std::mutex handlesMutex;
std::unordered_map<HKEY, OpenKey> handles;
HKEY nextHandle = 0x1000;

bool IsWriteAccess(REGSAM sam) {
  return (sam & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | 0x00040000 | 0x00080000)) != 0;
}

const Key* FindKey(const Document& doc, int root, const std::vector<std::string>& names) {
  const Key* key = &doc.Root(root);
  for (const std::string& name : names) {
    key = key->FindSubKey(name);
    if (!key) return nullptr;
  }
  return key;
}

Key* FindKey(Document& doc, int root, const std::vector<std::string>& names) {
  return const_cast<Key*>(FindKey(std::as_const(doc), root, names));
}

// What an operation works on: the key of a handle (or of a root) and what was read of the store.
struct Target {
  int root = -1;
  std::vector<std::string> names;
  REGSAM access = KEY_ALL_ACCESS;
  std::shared_ptr<Snapshot> snap;
};

// With `takeSnapshot` the handle gives up what it read, for a change to edit (and hand back afterwards).
LONG Resolve(HKEY hKey, Target& target, bool takeSnapshot = false) {
  if (int root = detail::RootIndex(hKey); root >= 0) {
    target.root = root;
    return ERROR_SUCCESS;
  }
  std::lock_guard guard(handlesMutex);
  auto it = handles.find(hKey);
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  target.root = it->second.root;
  target.names = it->second.names;
  target.access = it->second.access;
  if (takeSnapshot) {
    target.snap = std::move(it->second.snap);
  } else {
    target.snap = it->second.snap;
  }
  return ERROR_SUCCESS;
}

// Gives the handle back what it read, so the next call on it can skip reading an unchanged store.
void Remember(HKEY hKey, std::shared_ptr<Snapshot> snap) {
  std::lock_guard guard(handlesMutex);
  if (auto it = handles.find(hKey); it != handles.end()) it->second.snap = std::move(snap);
}

// The key `target` stands for in the current store, reusing the snapshot `target` holds while the file
// is unchanged, and reading under the shared lock (which creates nothing) otherwise. `key` points into
// the snapshot, which the caller keeps in `target` for as long as it uses the key. ERROR_KEY_DELETED
// when the key is not (or no longer) there.
LONG KeyInStore(Target& target, const Key*& key) {
  if (!target.snap || !target.snap->Unchanged(target.snap->path)) target.snap = ReadStoreShared(CurrentStorePaths());
  if (target.snap->status != ERROR_SUCCESS) return target.snap->status;
  key = FindKey(target.snap->doc, target.root, target.names);
  return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

// The key a reading call works on: the handle resolved, its access checked, the store read (and
// remembered by the handle for the next call).
LONG KeyForReading(HKEY hKey, REGSAM needed, Target& target, const Key*& key) {
  if (LONG status = Resolve(hKey, target); status != ERROR_SUCCESS) return status;
  if (!(target.access & needed)) return ERROR_ACCESS_DENIED;
  const Snapshot* before = target.snap.get();
  LONG status = KeyInStore(target, key);
  if (target.snap.get() != before) Remember(hKey, target.snap);
  return status;
}

// The sub-key at `index` of `key` (which lies in `snap`'s document and has more sub-keys than that).
const Key& SubKeyAt(HKEY hKey, const std::shared_ptr<Snapshot>& snap, const Key& key, DWORD index) {
  std::lock_guard guard(handlesMutex);
  auto it = handles.find(hKey);
  // A predefined root used directly has no handle to keep a cursor in (RegUtilities always opens one).
  if (it == handles.end()) return *std::next(key.SubKeys().begin(), index)->second;
  SubKeyCursor& cursor = it->second.cursor;
  if (cursor.snap != snap || cursor.key != &key || index < cursor.index) {
    cursor = SubKeyCursor{snap, &key, 0, key.SubKeys().begin()};
  }
  cursor.at = std::next(cursor.at, index - cursor.index);
  cursor.index = index;
  return *cursor.at->second;
}

HKEY NewHandle(OpenKey key) {
  std::lock_guard guard(handlesMutex);
  while (handles.count(nextHandle) || detail::RootIndex(nextHandle) >= 0 || nextHandle == 0) nextHandle += 4;
  HKEY h = nextHandle;
  nextHandle += 4;
  handles.emplace(h, std::move(key));
  return h;
}

// Appends the names of `subKey` to `names`.
LONG AppendPath(std::string_view subKey, std::vector<std::string>& names) {
  std::vector<std::string_view> parts;
  if (LONG status = detail::SplitKeyPath(subKey, parts); status != ERROR_SUCCESS) return status;
  if (names.size() + parts.size() > detail::MaxKeyDepth) return ERROR_INVALID_PARAMETER;
  for (std::string_view part : parts) names.emplace_back(part);
  return ERROR_SUCCESS;
}

void CopyName(const std::string& name, char* buffer) {
  std::memcpy(buffer, name.data(), name.size());
  buffer[name.size()] = '\0';
}

template <typename F>
LSTATUS Guarded(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  } catch (...) {
    return ERROR_REGISTRY_IO_FAILED;
  }
}

}  // namespace

// ---- the registry functions ------------------------------------------------------------------------

LSTATUS RegOpenKeyEx(HKEY hKey, std::string_view lpSubKey, DWORD, REGSAM samDesired, HKEY* phkResult) {
  return Guarded([&]() -> LSTATUS {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Target target;
    if (LONG status = Resolve(hKey, target); status != ERROR_SUCCESS) return status;
    if (LONG status = AppendPath(lpSubKey, target.names); status != ERROR_SUCCESS) return status;
    const Key* key = nullptr;
    if (LONG status = KeyInStore(target, key); status != ERROR_SUCCESS) {
      if (status != ERROR_KEY_DELETED) return status;
      // A write is coming (the caller asks for write access, and will create the key next): get the
      // store's folder ready, and when the store cannot be written say why now, instead of sending the
      // caller on to a create that fails.
      if (IsWriteAccess(samDesired)) {
        if (LONG why = PrepareForWrite(CurrentStorePaths()); why != ERROR_SUCCESS) return why;
      }
      return ERROR_FILE_NOT_FOUND;
    }
    *phkResult = NewHandle(OpenKey{target.root, std::move(target.names), samDesired, std::move(target.snap), {}});
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCreateKeyEx(HKEY hKey, std::string_view lpSubKey, DWORD, const char*, DWORD, REGSAM samDesired, const void*,
                       HKEY* phkResult, DWORD* lpdwDisposition) {
  return Guarded([&]() -> LSTATUS {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = 0;
    Target target;
    if (LONG status = Resolve(hKey, target); status != ERROR_SUCCESS) return status;
    std::size_t existingDepth = target.names.size();
    if (LONG status = AppendPath(lpSubKey, target.names); status != ERROR_SUCCESS) return status;
    bool createdAny = false;
    std::shared_ptr<Snapshot> snap = std::move(target.snap);
    LONG status = ChangeStore(
        [&](Document& doc, bool& changed) -> LONG {
          Key* key = &doc.Root(target.root);
          for (std::size_t i = 0; i < target.names.size(); ++i) {
            bool created = false;
            if (i < existingDepth) {
              key = key->FindSubKey(target.names[i]);
              if (!key) return ERROR_KEY_DELETED;  // the key the handle stands for has gone
            } else {
              key = &key->SubKey(target.names[i], created);
            }
            createdAny = createdAny || created;
          }
          changed = createdAny;
          return ERROR_SUCCESS;
        },
        &snap);
    if (status != ERROR_SUCCESS) return status;
    if (lpdwDisposition) *lpdwDisposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = NewHandle(OpenKey{target.root, std::move(target.names), samDesired, std::move(snap), {}});
    return ERROR_SUCCESS;
  });
}

LSTATUS RegCloseKey(HKEY hKey) {
  if (detail::RootIndex(hKey) >= 0) return ERROR_SUCCESS;
  std::shared_ptr<Snapshot> dropped;  // released after the mutex
  std::lock_guard guard(handlesMutex);
  auto it = handles.find(hKey);
  if (it == handles.end()) return ERROR_INVALID_HANDLE;
  dropped = std::move(it->second.snap);
  handles.erase(it);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueEx(HKEY hKey, std::string_view lpValueName, DWORD*, DWORD* lpType, BYTE* lpData, DWORD* lpcbData) {
  return Guarded([&]() -> LSTATUS {
    if (lpData && !lpcbData) return ERROR_INVALID_PARAMETER;
    Target target;
    const Key* key = nullptr;
    if (LONG status = KeyForReading(hKey, KEY_QUERY_VALUE, target, key); status != ERROR_SUCCESS) return status;
    const detail::Value* value = key->FindValue(lpValueName);
    if (!value) return ERROR_FILE_NOT_FOUND;
    if (lpType) *lpType = value->type;
    if (!lpcbData) return ERROR_SUCCESS;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpData && *lpcbData < size) {
      *lpcbData = size;
      return ERROR_MORE_DATA;
    }
    if (lpData && size > 0) std::memcpy(lpData, value->data.data(), size);
    *lpcbData = size;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegSetValueEx(HKEY hKey, std::string_view lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  return Guarded([&]() -> LSTATUS {
    if (!lpData && cbData > 0) return ERROR_INVALID_PARAMETER;
    if (!detail::IsValidValueName(lpValueName)) return ERROR_INVALID_PARAMETER;
    Target target;
    if (LONG status = Resolve(hKey, target, true); status != ERROR_SUCCESS) return status;
    if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    std::string data;
    if (lpData) data.assign(reinterpret_cast<const char*>(lpData), cbData);
    LONG status = ChangeStore(
        [&](Document& doc, bool& changed) -> LONG {
          Key* key = FindKey(doc, target.root, target.names);
          if (!key) return ERROR_KEY_DELETED;
          const detail::Value* old = key->FindValue(lpValueName);
          if (old && old->type == dwType && old->data == data) return ERROR_SUCCESS;  // nothing to write
          key->SetValue(lpValueName, dwType, std::move(data));
          changed = true;
          return ERROR_SUCCESS;
        },
        &target.snap);
    Remember(hKey, std::move(target.snap));
    return status;
  });
}

LSTATUS RegEnumValue(HKEY hKey, DWORD dwIndex, char* lpValueName, DWORD* lpcchValueName, DWORD*, DWORD* lpType,
                     BYTE* lpData, DWORD* lpcbData) {
  return Guarded([&]() -> LSTATUS {
    if (!lpValueName || !lpcchValueName || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    Target target;
    const Key* key = nullptr;
    if (LONG status = KeyForReading(hKey, KEY_QUERY_VALUE, target, key); status != ERROR_SUCCESS) return status;
    if (dwIndex >= key->Values().size()) return ERROR_NO_MORE_ITEMS;
    const detail::Value& value = key->Values()[dwIndex];
    DWORD size = static_cast<DWORD>(value.data.size());
    if (value.name.size() >= *lpcchValueName) return ERROR_MORE_DATA;
    if (lpData && *lpcbData < size) {
      *lpcbData = size;
      return ERROR_MORE_DATA;
    }
    CopyName(value.name, lpValueName);
    *lpcchValueName = static_cast<DWORD>(value.name.size());
    if (lpType) *lpType = value.type;
    if (lpData && size > 0) std::memcpy(lpData, value.data.data(), size);
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
  });
}

LSTATUS RegEnumKeyEx(HKEY hKey, DWORD dwIndex, char* lpName, DWORD* lpcchName, DWORD*, char* lpClass, DWORD* lpcchClass,
                     FILETIME* lpftLastWriteTime) {
  return Guarded([&]() -> LSTATUS {
    if (!lpName || !lpcchName || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    Target target;
    const Key* key = nullptr;
    if (LONG status = KeyForReading(hKey, KEY_ENUMERATE_SUB_KEYS, target, key); status != ERROR_SUCCESS) return status;
    if (dwIndex >= key->SubKeys().size()) return ERROR_NO_MORE_ITEMS;
    const std::string& name = SubKeyAt(hKey, target.snap, *key, dwIndex).Name();
    if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
    if (lpClass && *lpcchClass < 1) return ERROR_MORE_DATA;
    CopyName(name, lpName);
    *lpcchName = static_cast<DWORD>(name.size());
    if (lpClass) {
      lpClass[0] = '\0';
      *lpcchClass = 0;
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
  });
}

LSTATUS RegDeleteValue(HKEY hKey, std::string_view lpValueName) {
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LONG status = Resolve(hKey, target, true); status != ERROR_SUCCESS) return status;
    if (!(target.access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    // Deleting what is not there changes nothing, and so takes no lock and creates no lock file.
    {
      const Key* key = nullptr;
      LONG status = KeyInStore(target, key);
      if (status == ERROR_SUCCESS && !key->FindValue(lpValueName)) status = ERROR_FILE_NOT_FOUND;
      if (status != ERROR_SUCCESS) {
        Remember(hKey, std::move(target.snap));
        return status;
      }
    }
    LONG status = ChangeStore(
        [&](Document& doc, bool& changed) -> LONG {
          Key* key = FindKey(doc, target.root, target.names);
          if (!key) return ERROR_KEY_DELETED;
          if (!key->DeleteValue(lpValueName)) return ERROR_FILE_NOT_FOUND;
          changed = true;
          return ERROR_SUCCESS;
        },
        &target.snap);
    Remember(hKey, std::move(target.snap));
    return status;
  });
}

LSTATUS RegDeleteKey(HKEY hKey, std::string_view lpSubKey) {
  return Guarded([&]() -> LSTATUS {
    Target target;
    if (LONG status = Resolve(hKey, target, true); status != ERROR_SUCCESS) return status;
    if (LONG status = AppendPath(lpSubKey, target.names); status != ERROR_SUCCESS) return status;
    if (target.names.empty()) return ERROR_ACCESS_DENIED;  // a root cannot be deleted
    const std::string last = target.names.back();
    target.names.pop_back();
    // Whether the key can go: it exists and has no sub-keys, as the registry will only delete a leaf.
    auto deletable = [&](const Document& doc) -> LONG {
      const Key* parent = FindKey(doc, target.root, target.names);
      const Key* key = parent ? parent->FindSubKey(last) : nullptr;
      if (!key) return ERROR_FILE_NOT_FOUND;
      return key->SubKeys().empty() ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
    };
    // Looked at first without the lock: deleting what is not there, or from a store that cannot be
    // read, changes nothing and so creates nothing (no folder, no lock file).
    const Key* parent = nullptr;
    LONG status = KeyInStore(target, parent);
    if (status == ERROR_SUCCESS) status = deletable(target.snap->doc);
    if (status == ERROR_SUCCESS) {
      status = ChangeStore(
          [&](Document& doc, bool& changed) -> LONG {
            if (LONG why = deletable(doc); why != ERROR_SUCCESS) return why;
            FindKey(doc, target.root, target.names)->DeleteSubKey(last);
            changed = true;
            return ERROR_SUCCESS;
          },
          &target.snap);
    }
    Remember(hKey, std::move(target.snap));
    return status == ERROR_KEY_DELETED ? ERROR_FILE_NOT_FOUND : status;
  });
}

std::string StoreDamage() {
  const StorePaths paths = CurrentStorePaths();
  const std::shared_ptr<Snapshot> snap = ReadStoreShared(paths);
  if (snap->status != ERROR_BADDB) return {};
  std::string text = "The settings store " + paths.file + " cannot be read";
  if (snap->damage.line > 0) text += ", line " + std::to_string(snap->damage.line);
  text += ": " + snap->damage.what + ". No setting is read from it or written to it until it is mended.";
  return text;
}

std::string StoreProblem() {
  const StorePaths paths = CurrentStorePaths();
  struct stat st {};
  if (::stat(paths.file.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  return "The settings store " + paths.file + " is not a file.";
}

}  // namespace kestrun::platform::reg
