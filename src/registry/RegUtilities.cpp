#include "registry/RegUtilities.h"

#include <array>
#include <atomic>

#include "platform/RegistryApi.h"
#include "platform/Text.h"
#include "platform/WindowSystem.h"
#include "registry/OpenKey.h"
#include "util/ErrorReport.h"
#include "util/StringUtilities.h"

namespace kestrun {

namespace reg = platform::reg;
using regkey::FullAccess;
using regkey::OpenKey;
using regkey::ReadAccess;

namespace {

struct RootName {
  const char* name;
  std::uint32_t handle;
};
constexpr std::array<RootName, 4> RootNames{{{"HKEY_CLASSES_ROOT", reg::HKEY_CLASSES_ROOT},
                                             {"HKEY_CURRENT_USER", reg::HKEY_CURRENT_USER},
                                             {"HKEY_LOCAL_MACHINE", reg::HKEY_LOCAL_MACHINE},
                                             {"HKEY_USERS", reg::HKEY_USERS}}};

// Values longer than this (in characters of their text form) are refused with a message.
constexpr std::size_t MaxSettingChars = 127;

// Numbers in messages: one blank before zero and positive numbers, "-" before negative ones.
std::string SignedNumber(long long n) { return n < 0 ? std::to_string(n) : " " + std::to_string(n); }

std::atomic<int> failedWrites{0};

void ShowMessage(const std::string& text) {
  platform::Windows().MsgBox(text, platform::mb::OkOnly, platform::App().Title);
}

}  // namespace

int FailedSettingWrites() { return failedWrites.load(); }

std::uint32_t RegUtilities::GetPredefinedRootKey(const std::string& strHive) const {
  std::string root = GetRootKey(strHive);
  for (const RootName& r : RootNames) {
    if (root == r.name) return r.handle;
  }
  return 0;
}

std::string RegUtilities::GetRootKey(const std::string& strHive) const {
  return StringUtilities().GetPosSep(strHive, "\\", 1, false);
}

std::string RegUtilities::GetBranch(const std::string& strHive) const {
  std::string root = GetRootKey(strHive);
  std::string branch = StringUtilities().LTrimText(strHive, root);
  return StringUtilities().LTrimText(branch, "\\");
}

void RegUtilities::SetKeyValue(const std::string& strHive, const std::string& vValueName,
                               const RegSetting& vValueSetting, const std::string& strType) const {
  try {
    std::uint32_t root = GetPredefinedRootKey(strHive);
    std::string branch = GetBranch(strHive);
    std::uint32_t type = 0;
    if (strType == "REG_EXPAND_SZ") {
      type = reg::REG_EXPAND_SZ;
    } else if (strType == "REG_DWORD") {
      type = reg::REG_DWORD;
    } else if (strType == "REG_BINARY") {
      type = reg::REG_BINARY;
    } else if (strType == "REG_SZ") {
      type = reg::REG_SZ;
    } else {
      return;  // not a type this class writes
    }
    WriteKeyValue(root, branch, vValueName, vValueSetting, type);
  } catch (...) {
    ReportError("RegUtilities", "SetKeyValue");
  }
}

void RegUtilities::WriteKeyValue(std::uint32_t lngRootKey, const std::string& strBranch, const std::string& vValueName,
                                 const RegSetting& vValue, std::uint32_t lngType) const {
  std::size_t length = text::CharCount(vValue.Text());
  if (length > MaxSettingChars) {
    ++failedWrites;
    ShowMessage("Registry setting to long : " + SignedNumber(static_cast<long long>(length)) +
                "\r\nFor Key: " + strBranch + "\r\nFor Variable: " + vValueName);
    return;
  }
  // A number that cannot be one fails here, before any key is created for it: a refused write leaves
  // the store as it was.
  if (lngType == reg::REG_DWORD) static_cast<void>(vValue.ToLong());
  reg::LONG status = 0;
  {
    OpenKey key;
    status = reg::RegOpenKeyEx(lngRootKey, strBranch, 0, FullAccess, key.Out());
    if (status == reg::ERROR_FILE_NOT_FOUND) {
      for (const RootName& r : RootNames) {
        if (r.handle == lngRootKey) CreateNewKey(std::string(r.name) + "\\" + strBranch);
      }
      status = reg::RegOpenKeyEx(lngRootKey, strBranch, 0, FullAccess, key.Out());
    }
    if (status == reg::ERROR_SUCCESS) status = WriteValueData(key.Get(), vValueName, lngType, vValue);
  }
  if (status != reg::ERROR_SUCCESS) {
    ++failedWrites;
    ShowMessage("Error updating registry: " + SignedNumber(status) + "\r\nFor keyname: " + strBranch +
                "\r\nFor variable: " + vValueName);
  }
}

std::int32_t RegUtilities::WriteValueData(std::uintptr_t lngKey, const std::string& vValueName, std::uint32_t lngType,
                                          const RegSetting& vValue) const {
  std::string data;
  switch (lngType) {
    case reg::REG_SZ:
    case reg::REG_EXPAND_SZ:
      data = vValue.Text();
      data += '\0';
      break;
    case reg::REG_BINARY: data = vValue.Text(); break;
    case reg::REG_DWORD: {
      auto n = static_cast<std::uint32_t>(vValue.ToLong());
      for (int b = 0; b < 4; ++b) data += static_cast<char>((n >> (8 * b)) & 0xFF);
      break;
    }
    default: return reg::ERROR_SUCCESS;
  }
  return reg::RegSetValueEx(lngKey, vValueName, 0, lngType, reinterpret_cast<const reg::BYTE*>(data.data()),
                            static_cast<reg::DWORD>(data.size()));
}

std::string RegUtilities::GetKeyValue(const std::string& strHive, const std::string& vValueName,
                                      const std::string& dValue) const {
  try {
    std::uint32_t root = GetPredefinedRootKey(strHive);
    std::string branch = GetBranch(strHive);
    OpenKey key;
    if (reg::RegOpenKeyEx(root, branch, 0, ReadAccess, key.Out()) != reg::ERROR_SUCCESS) return dValue;
    std::string text;
    std::int32_t status = ReadValueData(key.Get(), vValueName, text);
    key.Close();
    return status == reg::ERROR_SUCCESS ? text : dValue;
  } catch (...) {
    ReportError("RegUtilities", "GetKeyValue");
    return dValue;
  }
}

std::int32_t RegUtilities::ReadValueData(std::uintptr_t lngKey, const std::string& vValueName,
                                         std::string& strData) const {
  reg::DWORD type = 0;
  reg::DWORD size = 0;
  reg::LONG status = reg::RegQueryValueEx(lngKey, vValueName, nullptr, &type, nullptr, &size);
  if (status != reg::ERROR_SUCCESS) return status;
  switch (type) {
    case reg::REG_SZ:
    case reg::REG_EXPAND_SZ:
    case reg::REG_BINARY:
    case reg::REG_MULTI_SZ: {
      std::string buffer(size, '\0');
      reg::DWORD got = size;
      status =
          reg::RegQueryValueEx(lngKey, vValueName, nullptr, &type, reinterpret_cast<reg::BYTE*>(buffer.data()), &got);
      if (status != reg::ERROR_SUCCESS) {
        ShowMessage("Error RegQueryValueExSTRING: " + std::to_string(status));
        strData.clear();
        return status;
      }
      // The data less its last byte: the terminator of a text, a real byte of binary data. Data of no
      // bytes at all leaves the text as it was, the empty text, which is still a successful read.
      if (got >= 1) strData.assign(buffer, 0, got - 1);
      return status;
    }
    case reg::REG_DWORD: {
      reg::BYTE bytes[4] = {0, 0, 0, 0};
      reg::DWORD got = sizeof bytes;
      status = reg::RegQueryValueEx(lngKey, vValueName, nullptr, &type, bytes, &got);
      if (status == reg::ERROR_SUCCESS) {
        auto n = static_cast<std::uint32_t>(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                                            (static_cast<std::uint32_t>(bytes[3]) << 24));
        strData = std::to_string(static_cast<std::int32_t>(n));
      }
      return status;
    }
    default: ShowMessage("Illegal RegType: " + std::to_string(type)); return -1;
  }
}

std::int32_t RegUtilities::GetKeyType(const std::string& strHive, const std::string& vValueName) const {
  std::int32_t result = -1;
  try {
    std::uint32_t root = GetPredefinedRootKey(strHive);
    std::string branch = GetBranch(strHive);
    OpenKey key;
    if (reg::RegOpenKeyEx(root, branch, 0, ReadAccess, key.Out()) == reg::ERROR_SUCCESS) {
      result = ReadValueType(key.Get(), vValueName);
    }
  } catch (...) {
    result = -1;
  }
  return result;
}

std::int32_t RegUtilities::ReadValueType(std::uintptr_t lngKey, const std::string& vValueName) const {
  reg::DWORD type = 0;
  if (reg::RegQueryValueEx(lngKey, vValueName, nullptr, &type, nullptr, nullptr) != reg::ERROR_SUCCESS) return -1;
  return static_cast<std::int32_t>(type);
}

void RegUtilities::CreateNewKey(const std::string& strHive) const {
  std::uint32_t root = GetPredefinedRootKey(strHive);
  std::string branch = GetBranch(strHive);
  OpenKey key;
  reg::DWORD disposition = 0;
  reg::RegCreateKeyEx(root, branch, 0, nullptr, reg::REG_OPTION_NON_VOLATILE, FullAccess, nullptr, key.Out(),
                      &disposition);
}

}  // namespace kestrun
