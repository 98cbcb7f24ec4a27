#include "support/Sandbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace kestrun::testing {

Sandbox::Sandbox() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kestrun-test-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  if (const char* reg = std::getenv("KESTRUN_REGISTRY")) {
    hadRegistry_ = true;
    previousRegistry_ = reg;
  }
  ::setenv("KESTRUN_REGISTRY", RegistryFile().c_str(), 1);
}

Sandbox::~Sandbox() {
  if (hadRegistry_) {
    ::setenv("KESTRUN_REGISTRY", previousRegistry_.c_str(), 1);
  } else {
    ::unsetenv("KESTRUN_REGISTRY");
  }
  std::error_code ec;
  // Make read-only leftovers removable before removing the tree.
  for (auto it = std::filesystem::recursive_directory_iterator(root_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(root_, ec);
}

std::string Sandbox::At(std::string text) const {
  for (std::size_t i = 0; (i = text.find('@', i)) != std::string::npos; i += root_.string().size())
    text.replace(i, 1, root_.string());
  return text;
}

std::filesystem::path Sandbox::Folder(const std::string& relative) const {
  std::filesystem::path p = root_ / relative;
  std::filesystem::create_directories(p);
  return p;
}

std::filesystem::path Sandbox::WriteFile(const std::string& relative, const std::string& content) const {
  std::filesystem::path p = root_ / relative;
  std::filesystem::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary);
  out << content;
  return p;
}

std::string Sandbox::ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void Sandbox::SetAge(const std::filesystem::path& path, double modifiedDaysAgo, double accessedDaysAgo) {
  const std::time_t now = std::time(nullptr);
  const timespec times[2] = {{now - static_cast<std::time_t>(accessedDaysAgo * 86400), 0},
                             {now - static_cast<std::time_t>(modifiedDaysAgo * 86400), 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw std::runtime_error("utimensat failed: " + path.string());
}

}  // namespace kestrun::testing
