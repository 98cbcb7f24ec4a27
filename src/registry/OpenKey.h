#pragma once
#include "platform/RegistryApi.h"

// What the two halves of RegUtilities share: how keys are opened, and an open key that closes itself.
namespace kestrun::regkey {

namespace reg = platform::reg;

// Writes open and create with full access. Reads open for reading only: a read must work where only
// reading is allowed, and must never create anything (not even the store's folder) on its way.
inline constexpr reg::REGSAM FullAccess = reg::KEY_ALL_ACCESS;
inline constexpr reg::REGSAM ReadAccess = reg::KEY_READ;

// An open key, closed when the scope ends, also when an error passes through. Closing the empty handle
// of a failed open is harmless.
class OpenKey {
 public:
  OpenKey() = default;
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() { Close(); }
  reg::HKEY* Out() { return &handle_; }
  reg::HKEY Get() const { return handle_; }
  void Close() {
    reg::RegCloseKey(handle_);
    handle_ = 0;
  }

 private:
  reg::HKEY handle_ = 0;
};

}  // namespace kestrun::regkey
