#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/RegistryApi.h"
#include "platform/WindowSystem.h"
#include "registry/RegUtilities.h"
#include "support/Sandbox.h"
#include "support/ScriptedWindowSystem.h"

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

// The names listed under a key, its values or its sub-keys, through the registry functions; none when
// the key cannot be opened.
inline std::vector<std::string> Listed(reg::HKEY root, const std::string& key, bool subKeys) {
  std::vector<std::string> names;
  reg::HKEY h = 0;
  if (reg::RegOpenKeyEx(root, key, 0, reg::KEY_READ, &h) != reg::ERROR_SUCCESS) return names;
  char name[64];
  reg::DWORD len = sizeof name;
  for (reg::DWORD i = 0; (subKeys ? reg::RegEnumKeyEx(h, i, name, &len, nullptr, nullptr, nullptr, nullptr)
                                  : reg::RegEnumValue(h, i, name, &len, nullptr, nullptr, nullptr, nullptr)) == 0;
       ++i) {
    names.emplace_back(name, len);
    len = sizeof name;
  }
  reg::RegCloseKey(h);
  return names;
}

const std::string AppBranch = "SOFTWARE\\Ambervale\\Kestrun";
const std::string AppKey = "HKEY_LOCAL_MACHINE\\" + AppBranch;

// The error report RegUtilities shows for `procedure`.
inline std::string Report(const std::string& procedure, int number, const std::string& description) {
  return platform::App().EXEName + ".RegUtilities." + procedure + ": " + std::to_string(number) + ", " + description;
}

// A store of the test's own, message boxes answered and recorded, and the class under test.
class RegUtilitiesTest : public ::testing::Test {
 protected:
  Sandbox sandbox;
  ScriptedWindowSystem ws;
  RegUtilities ru;

  std::vector<std::string> Prompts() const {
    std::vector<std::string> out;
    for (const auto& box : ws.boxes) out.push_back(box.prompt);
    return out;
  }
};

}  // namespace kestrun::testing::regtest
