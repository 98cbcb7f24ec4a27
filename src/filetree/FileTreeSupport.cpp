#include "filetree/FileTreeSupport.h"

#include <sys/stat.h>

#include <exception>
#include <filesystem>

#include "util/ErrorReport.h"
#include "util/RuntimeError.h"

namespace kestrun::filetree {

void ReportWithPlace(std::string_view procedure, const std::string& place) {
  const ErrorInfo info = ErrorInfoOf(std::current_exception());
  ReportError("FileTree", procedure,
              std::make_exception_ptr(RuntimeError(info.number, info.description + "\r\n(" + place + ")")));
}

namespace {
bool LStat(const std::string& path, struct stat& st) {
  std::string bare = path;
  while (bare.size() > 1 && bare.back() == '/') bare.pop_back();
  return ::lstat(bare.c_str(), &st) == 0;
}
}  // namespace

bool IsLink(const std::string& path) {
  struct stat st;
  return LStat(path, st) && S_ISLNK(st.st_mode);
}

bool ExistsExactly(const std::string& path) {
  struct stat st;
  return LStat(path, st);
}

bool HoldsAnythingButFolders(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; it != end; it.increment(ec)) {
    if (ec) return true;
    if (it->symlink_status(ec).type() != fs::file_type::directory || ec) return true;
  }
  return static_cast<bool>(ec);
}

}  // namespace kestrun::filetree
