#include "update/UnfinishedDownloads.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>

#include "platform/Text.h"
#include "util/StringUtilities.h"

namespace kestrun::update {

namespace {

constexpr std::string_view kSuffix = ".part";

bool IsTag(std::string_view tag) {
  if (tag.size() < 6 || tag.size() > 12) return false;
  for (unsigned char c : tag) {
    if (!text::IsAsciiAlnum(static_cast<char>(c))) return false;
  }
  return true;
}

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};

}  // namespace

bool IsUnfinishedDownload(const std::string& fileName, const std::string& mask, const std::string& fixedName,
                          std::string& name) {
  std::string_view rest = fileName;
  if (rest.size() <= 1 + kSuffix.size() || rest.front() != '.' || !rest.ends_with(kSuffix)) return false;
  rest = rest.substr(1, rest.size() - 1 - kSuffix.size());
  const std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || !IsTag(rest.substr(dot + 1))) return false;
  name.assign(rest.substr(0, dot));
  if (!fixedName.empty() && name == fixedName) return true;
  try {
    return StringUtilities().MatchesFileMask(name, mask, false);
  } catch (const std::exception&) {
    return false;  // a mask that breaks the list rules matches nothing
  }
}

std::vector<UnfinishedDownload> RemoveUnfinishedDownloads(const std::string& folder, const std::string& mask,
                                                          const std::string& fixedName) {
  std::vector<UnfinishedDownload> found;
  std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.c_str()));
  if (!dir) return found;
  const int fd = ::dirfd(dir.get());
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) break;  // the end, or a folder that cannot be read further: what was seen is handled
    std::string name;
    if (!IsUnfinishedDownload(entry->d_name, mask, fixedName, name)) continue;
    struct stat st {};
    if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
    UnfinishedDownload item{name, {}};
    if (::unlinkat(fd, entry->d_name, 0) != 0) item.error = std::strerror(errno);
    found.push_back(std::move(item));
  }
  return found;
}

}  // namespace kestrun::update
