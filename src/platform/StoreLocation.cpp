#include "platform/StoreLocation.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace kestrun::platform {

StoreLocation ChooseStoreLocation(const char* registry, uid_t uid, const char* xdgConfigHome, const char* home) {
  if (registry && *registry) return {registry, false};
  if (uid == 0) return {"/var/lib/kestrun/registry.reg", true};
  std::filesystem::path config;
  if (xdgConfigHome && *xdgConfigHome == '/') {
    config = xdgConfigHome;
  } else {
    config = std::filesystem::path(home && *home ? home : "/") / ".config";
  }
  return {(config / "kestrun" / "registry.reg").string(), false};
}

StoreLocation SettingsStoreLocation() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    const passwd* pw = ::getpwuid(::getuid());
    home = pw && pw->pw_dir ? pw->pw_dir : "/";
  }
  return ChooseStoreLocation(std::getenv("KESTRUN_REGISTRY"), ::geteuid(), std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace kestrun::platform
