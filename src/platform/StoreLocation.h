#pragma once
#include <sys/types.h>

#include <string>

namespace kestrun::platform {

// Where the settings store file lives. The settings are the local machine's: root's runs (`sudo kestrun
// /Init`, a root timer) share one machine-wide store that only root may read; another user keeps a
// store of their own.
struct StoreLocation {
  std::string file;
  // The machine-wide store: its folder is created 0700 and the file 0600.
  bool machineWide = false;
};

// The file KESTRUN_REGISTRY names; else, for root, /var/lib/kestrun/registry.reg; else
// $XDG_CONFIG_HOME/kestrun/registry.reg, ~/.config/kestrun/registry.reg when that is unset or relative.
StoreLocation SettingsStoreLocation();
// The same choice from given facts (null for an unset variable); `home` is used when HOME is unset.
StoreLocation ChooseStoreLocation(const char* registry, uid_t uid, const char* xdgConfigHome, const char* home);

}  // namespace kestrun::platform
