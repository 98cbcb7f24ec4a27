#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RegistryApi.h"
#include "support/Sandbox.h"

// Small helpers over the registry functions, so tests read as what they check.
namespace kestrun::testing::regtest {

namespace reg = platform::reg;
using namespace std::string_literals;

struct Read {
  reg::LONG status = -1;
  reg::DWORD type = 0;
  std::string data;
};

inline reg::LONG SetRaw(reg::HKEY root, const std::string& key, const std::string& name, reg::DWORD type,
                        const std::string& data) {
  reg::HKEY h = 0;
  reg::LONG status = reg::RegCreateKeyEx(root, key, 0, nullptr, 0, reg::KEY_ALL_ACCESS, nullptr, &h, nullptr);
  if (status != reg::ERROR_SUCCESS) return status;
  status = reg::RegSetValueEx(h, name, 0, type, reinterpret_cast<const reg::BYTE*>(data.data()),
                              static_cast<reg::DWORD>(data.size()));
  reg::RegCloseKey(h);
  return status;
}

// Opens the key afresh (so the store file is read again) and reads the value with the two-step query.
inline Read GetRaw(reg::HKEY root, const std::string& key, const std::string& name) {
  Read r;
  reg::HKEY h = 0;
  r.status = reg::RegOpenKeyEx(root, key, 0, reg::KEY_READ, &h);
  if (r.status != reg::ERROR_SUCCESS) return r;
  reg::DWORD size = 0;
  r.status = reg::RegQueryValueEx(h, name, nullptr, &r.type, nullptr, &size);
  if (r.status == reg::ERROR_SUCCESS) {
    r.data.assign(size, '\0');
    r.status = reg::RegQueryValueEx(h, name, nullptr, &r.type, reinterpret_cast<reg::BYTE*>(r.data.data()), &size);
    r.data.resize(size);
  }
  reg::RegCloseKey(h);
  return r;
}

// The names of the values under a key, through the registry functions; none when the key cannot be opened.
inline std::vector<std::string> ValueNames(reg::HKEY root, const std::string& key) {
  std::vector<std::string> names;
  reg::HKEY h = 0;
  if (reg::RegOpenKeyEx(root, key, 0, reg::KEY_READ, &h) != reg::ERROR_SUCCESS) return names;
  char name[64];
  reg::DWORD len = sizeof name;
  for (reg::DWORD i = 0; reg::RegEnumValue(h, i, name, &len, nullptr, nullptr, nullptr, nullptr) == 0; ++i) {
    names.emplace_back(name, len);
    len = sizeof name;
  }
  reg::RegCloseKey(h);
  return names;
}

// Points the store below a plain file, where no folder can ever be made.
inline void BlockStore(const Sandbox& sandbox) {
  ::setenv("KESTRUN_REGISTRY", (sandbox.WriteFile("plainfile", "x") / "registry.reg").c_str(), 1);
}

const std::string AppBranch = "SOFTWARE\\Ambervale\\Kestrun";
const std::string AppKey = "HKEY_LOCAL_MACHINE\\" + AppBranch;

}  // namespace kestrun::testing::regtest
