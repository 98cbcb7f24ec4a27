#pragma once
#include <string>

#include "platform/RegistryApi.h"

// Small helpers over the registry functions, so tests read as what they check.
namespace kestrun::testing::regtest {

namespace reg = platform::reg;

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

}  // namespace kestrun::testing::regtest
