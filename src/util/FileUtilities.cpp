#include "util/FileUtilities.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "util/RuntimeError.h"

namespace kestrun {

namespace {

std::string FormatLocal(const std::tm& t) {
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d.%02d.%02d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return buffer;
}

// The same local time of day `days` calendar days before now, as a file date text.
std::string DaysBeforeNow(int32_t days) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  if (!localtime_r(&now, &t)) Raise(err::Overflow);
  long long day = static_cast<long long>(t.tm_mday) - days;
  if (day < INT_MIN / 2 || day > INT_MAX / 2) Raise(err::Overflow);
  // Only the date moves; the time of day stays as it is. The calendar is counted in UTC, which needs no
  // time-zone file: a folder of many files is emptied with one such limit per file.
  std::tm date{};
  date.tm_year = t.tm_year;
  date.tm_mon = t.tm_mon;
  date.tm_mday = static_cast<int>(day);
  date.tm_hour = 12;
  errno = 0;
  if (::timegm(&date) == static_cast<std::time_t>(-1) && errno != 0) Raise(err::Overflow);
  t.tm_year = date.tm_year;
  t.tm_mon = date.tm_mon;
  t.tm_mday = date.tm_mday;
  // Dates run from the year 100 to 9999, as in the texts compared against.
  if (t.tm_year + 1900 < 100 || t.tm_year + 1900 > 9999) Raise(err::Overflow);
  return FormatLocal(t);
}

std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  return home && *home ? std::string(home) : std::string();
}

std::string EnvironmentFolder(const char* variable, const char* belowHome) {
  const char* value = std::getenv(variable);
  if (value && *value == '/') return value;
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + belowHome;
}

}  // namespace

std::string FileDateText(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(when));
  std::tm t{};
  if (!localtime_r(&seconds, &t)) Raise(err::Overflow);
  return FormatLocal(t);
}

std::string ExpandHomeFolder(const std::string& path) {
  if (path != "~" && path.rfind("~/", 0) != 0) return path;
  std::string home = HomeFolder();
  if (home.empty()) {
    const passwd* pw = ::getpwuid(::getuid());
    if (!pw || !pw->pw_dir || !*pw->pw_dir) return path;
    home = pw->pw_dir;
  }
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + path.substr(1);
}

std::shared_ptr<FileSystemObject> FileUtilities::FSO() { return SharedFileSystemObject(fso_); }

bool FileUtilities::CopyFile(const std::string& strSFile, const std::string& strDFile, CopyOptions options) {
  try {
    auto fso = FSO();
    if (fso->FileExists(strDFile)) {
      FsoFile destination = fso->GetFile(strDFile);
      int attributes = destination.Attributes();
      if (attributes & fsattr::ReadOnly) destination.SetAttributes(attributes & ~fsattr::ReadOnly);
    }
    fso->CopyFile(strSFile, strDFile, true, options);
    return true;
  } catch (...) {
    return false;
  }
}

bool FileUtilities::DeleteFile(const std::string& strPath) {
  try {
    auto fso = FSO();
    FsoFile file = fso->GetFile(strPath);
    int attributes = file.Attributes();
    if (attributes & fsattr::ReadOnly) file.SetAttributes(attributes & ~fsattr::ReadOnly);
    fso->DeleteFile(strPath, false);
    return true;
  } catch (...) {
    return false;
  }
}

namespace {

// The existing file `strPath` names, looked at once: both its dates and its attributes come from the
// one answer, so that emptying a folder of many files asks the file system as little as the rule allows.
std::string LookAtFile(FileSystemObject& fso, const std::string& strPath, struct stat& st) {
  if (::stat(strPath.c_str(), &st) == 0) {  // there as written: nothing to resolve
    if (!S_ISREG(st.st_mode)) Raise(err::FileNotFound);
    return strPath;
  }
  const auto path = fso.ResolveExisting(strPath);
  if (!path || ::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) Raise(err::FileNotFound);
  return *path;
}

bool OldEnough(const struct stat& st, int32_t lngOld) {
  const std::string limit = DaysBeforeNow(lngOld);
  return FileDateText(std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec)) < limit &&
         FileDateText(std::chrono::system_clock::from_time_t(st.st_atim.tv_sec)) < limit;
}

}  // namespace

bool FileUtilities::IsOldFile(const std::string& strPath, int32_t lngOld) {
  struct stat st;
  LookAtFile(*FSO(), strPath, st);
  return OldEnough(st, lngOld);
}

bool FileUtilities::DeleteOldFile(const std::string& strPath, int32_t lngOld) {
  try {
    auto fso = FSO();
    struct stat st;
    const std::string path = LookAtFile(*fso, strPath, st);
    if (!OldEnough(st, lngOld)) return false;
    // Removed at once by the name just looked at (a read-only file too: here its attribute does not
    // guard its name), so that a folder of many old files goes at the speed of the file system.
    return ::unlink(path.c_str()) == 0;
  } catch (...) {
    return false;
  }
}

std::string FileUtilities::GetFileModDate(const std::string& strPath) {
  return FileDateText(FSO()->GetFile(strPath).DateLastModified());
}

std::string FileUtilities::GetFileAccessedDate(const std::string& strPath) {
  return FileDateText(FSO()->GetFile(strPath).DateLastAccessed());
}

int32_t FileUtilities::GetFileSize(const std::string& strPath) {
  std::uintmax_t size = FSO()->GetFile(strPath).Size();
  if (size > static_cast<std::uintmax_t>(INT32_MAX)) Raise(err::Overflow);
  return static_cast<int32_t>(size);
}

std::string FileUtilities::GetFileString(const std::string& strFileName) {
  try {
    auto fso = FSO();
    FsoFile file = fso->GetFile(strFileName);
    auto stream = fso->OpenTextFile(strFileName, iomode::ForReading, false, tristate::False);
    std::uintmax_t size = file.Size();
    std::string content = stream->Read(static_cast<long>(std::min<std::uintmax_t>(size, LONG_MAX)));
    stream->Close();
    return content;
  } catch (...) {
    return {};
  }
}

std::string FileUtilities::GetFirstBytesFromFile(const std::string& strFileName, int32_t lngN) {
  try {
    auto fso = FSO();
    fso->GetFile(strFileName);
    auto stream = fso->OpenTextFile(strFileName, iomode::ForReading, false, tristate::False);
    std::string bytes = stream->Read(lngN);
    stream->Close();
    return bytes;
  } catch (...) {
    return {};
  }
}

std::string FileUtilities::GetLastBytesFromFile(const std::string& strFileName, int32_t lngN) {
  try {
    auto fso = FSO();
    FsoFile file = fso->GetFile(strFileName);
    auto stream = fso->OpenTextFile(strFileName, iomode::ForReading, false, tristate::False);
    const long long size = static_cast<long long>(file.Size());
    stream->Skip(static_cast<long>(std::max<long long>(size - lngN, 0)));
    std::string bytes = stream->Read(lngN);
    stream->Close();
    return bytes;
  } catch (...) {
    return {};
  }
}

std::string FileUtilities::FindLargestFile(const std::string& strFolder) {
  try {
    FileSystemObject fso;  // its own object, not the shared one
    std::uintmax_t largest = 0;
    std::string name;
    for (const FsoFile& file : fso.GetFolder(strFolder).Files()) {
      std::uintmax_t size = file.Size();
      if (largest < size) {
        largest = size;
        name = file.Name();
      }
    }
    return name;
  } catch (...) {
    return {};
  }
}

bool FileUtilities::SignatureMatches(const std::string& strFileName, int32_t bytesToRead, std::size_t comparedTail,
                                     const std::string& expected) {
  try {
    std::string read = GetFirstBytesFromFile(strFileName, bytesToRead);
    if (comparedTail == 0) return read == expected;
    return read.size() >= comparedTail && read.compare(read.size() - comparedTail, comparedTail, expected) == 0;
  } catch (...) {
    platform::Windows().MsgBox("Unable to read " + strFileName + ".", platform::mb::Critical | platform::mb::OkOnly,
                               "Error reading file");
    return false;
  }
}

bool FileUtilities::IsRealZipFile(const std::string& strFileName) {
  if (SignatureMatches(strFileName, 4, 0, Bytes({0x50, 0x4B, 0x03, 0x04}))) return true;
  // A self-extracting archive: an executable whose header carries these bytes.
  static const std::string kSelfExtractor =
      Bytes({0x7E, 0x53, 0x96, 0x46, 0x10, 0x00, 0x96, 0x46, 0x10, 0x00, 0x96, 0x46, 0x10, 0x00, 0x96,
             0x46, 0x10, 0x00, 0x17, 0x46, 0x10, 0x00, 0x12, 0x40, 0x16, 0x00, 0x97, 0x46, 0x10, 0x00,
             0x11, 0x5A, 0x12, 0x00, 0x97, 0x46, 0x10, 0x00, 0x52, 0x69, 0x63, 0x68, 0x96, 0x46});
  return SignatureMatches(strFileName, 174, kSelfExtractor.size(), kSelfExtractor);
}

bool FileUtilities::IsRealRarFile(const std::string& strFileName) {
  return SignatureMatches(strFileName, 4, 0, Bytes({0x52, 0x61, 0x72, 0x21}));
}

bool FileUtilities::IsRealAceFile(const std::string& strFileName) {
  return SignatureMatches(strFileName, 14, 7, Bytes({0x2A, 0x2A, 0x41, 0x43, 0x45, 0x2A, 0x2A}));
}

bool FileUtilities::IsRealEXEFile(const std::string& strFileName) {
  return SignatureMatches(
      strFileName, 15, 0,
      Bytes({0x4D, 0x5A, 0x90, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00}));
}

bool FileUtilities::CheckDirExists(const std::string& strPath) {
  try {
    return !strPath.empty() && FSO()->ResolveExisting(strPath).has_value();
  } catch (...) {
    return false;
  }
}

std::string FileUtilities::GetLongPath(const std::string& strShort) {
  if (strShort.size() >= 260 || !FSO()->ResolveExisting(strShort)) return {};
  return strShort;
}

std::string FileUtilities::GetShortPath(const std::string& strShort) { return GetLongPath(strShort); }

std::string FileUtilities::GetWindowsDir() { return "/"; }

std::string FileUtilities::GetWindowsSystemDir() { return text::UCase("/usr/bin"); }

std::string FileUtilities::GetTempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = tmp && *tmp == '/' ? tmp : "/tmp";
  if (folder.back() != '/') folder += '/';
  return text::UCase(folder);
}

std::string FileUtilities::GetSpecialPath(int32_t CSIDL) {
  std::string home = HomeFolder();
  auto underHome = [&](const char* rest) { return home.empty() ? std::string() : home + rest; };
  switch (CSIDL) {
    case 0x00:                                                              // desktop
    case 0x10: return underHome("/Desktop");                                // desktop folder
    case 0x05: return underHome("/Documents");                              // personal documents
    case 0x1A: return EnvironmentFolder("XDG_CONFIG_HOME", "/.config");     // application data
    case 0x1C: return EnvironmentFolder("XDG_DATA_HOME", "/.local/share");  // local application data
    case 0x24: return GetWindowsDir();                                      // the system root
    case 0x25: return "/usr/bin";                                           // system programs
    case 0x26: return "/opt";                                               // program files
    case 0x28: return home;                                                 // the user's profile
    default: return {};
  }
}

}  // namespace kestrun
