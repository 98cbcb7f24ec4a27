#include "ui/WindowModule.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "BuildConfig.h"
#include "platform/WindowSystem.h"

namespace kestrun::ui {

namespace {

std::string LoaderError() {
  const char* text = ::dlerror();
  return text ? text : "unknown error";
}

}  // namespace

std::string WindowModulePath() {
  return (std::filesystem::path(platform::App().Path) / KESTRUN_WINDOW_MODULE).lexically_normal().string();
}

std::string LoadWindowModule(const std::string& path, const KestrunWindowModule*& module) {
  module = nullptr;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    return (error == ENOENT ? "the windows are not installed (" : "the window module cannot be loaded (") + path +
           ": " + std::strerror(error) + ")";
  }
  // Bound at once, so a module whose libraries or symbols are missing fails here and not mid-run.
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return "the window module cannot be loaded (" + LoaderError() + ")";
  std::string problem;
  auto entry = reinterpret_cast<KestrunWindowModuleEntry>(::dlsym(handle, kWindowModuleEntry));
  const KestrunWindowModule* offered = entry ? entry() : nullptr;
  if (!offered || !offered->version) {
    problem = "the window module " + path + " is not one of this program's";
  } else if (std::strcmp(offered->version, KESTRUN_VERSION) != 0) {
    problem = "the window module " + path + " belongs to version " + offered->version + ", not " + KESTRUN_VERSION;
  } else if (!offered->displayProblem || !offered->run) {
    problem = "the window module " + path + " is incomplete";
  }
  if (!problem.empty()) {
    ::dlclose(handle);
    return problem;
  }
  // Never unloaded: the windows it makes live until the process ends.
  module = offered;
  return {};
}

}  // namespace kestrun::ui
