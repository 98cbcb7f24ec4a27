#pragma once
#include <cstdint>
#include <string>

#include "registry/RegSetting.h"

namespace kestrun {

// The program's road to its settings. A key is named by one hive path, a root name, "\" and the branch
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Ambervale\Kestrun"); every call opens the key, does its one read or write
// and closes it again. Reads never fail towards the caller (they give the default); writes create a
// missing key and report every failure in a message box, after which the caller carries on.
// No state: create one where needed and drop it after use.
class RegUtilities {
 public:
  // The root handle of the path's root name (exact case, no abbreviations), 0 for any other name.
  std::uint32_t GetPredefinedRootKey(const std::string& strHive) const;
  // The text before the first "\" (the whole path when there is none).
  std::string GetRootKey(const std::string& strHive) const;
  // The rest of the path without its leading "\"s; empty for a root name alone.
  std::string GetBranch(const std::string& strHive) const;

  // Writes the value as "REG_SZ" (the default), "REG_EXPAND_SZ", "REG_BINARY" or "REG_DWORD"; any other
  // type name writes nothing and says nothing. A text form of 128 characters or more is refused with a
  // message. A date-time is stored as text in the general date format.
  void SetKeyValue(const std::string& strHive, const std::string& vValueName, const RegSetting& vValueSetting,
                   const std::string& strType = "REG_SZ") const;
  // The value as text ("REG_DWORD" values in signed decimal), or `dValue` when it cannot be read.
  std::string GetKeyValue(const std::string& strHive, const std::string& vValueName, const std::string& dValue) const;
  // The value's type code, -1 when it cannot be read.
  std::int32_t GetKeyType(const std::string& strHive, const std::string& vValueName) const;
  // Creates the key and every missing key above it; failures are silent (the write that follows says).
  void CreateNewKey(const std::string& strHive) const;

 private:
  void WriteKeyValue(std::uint32_t lngRootKey, const std::string& strBranch, const std::string& vValueName,
                     const RegSetting& vValue, std::uint32_t lngType) const;
  std::int32_t WriteValueData(std::uintptr_t lngKey, const std::string& vValueName, std::uint32_t lngType,
                              const RegSetting& vValue) const;
  std::int32_t ReadValueType(std::uintptr_t lngKey, const std::string& vValueName) const;
  std::int32_t ReadValueData(std::uintptr_t lngKey, const std::string& vValueName, std::string& strData) const;
};

// How many writes of a setting this process could not make (each one told the user in a message box);
// a run that could not record what it did ends with a failure status.
int FailedSettingWrites();

}  // namespace kestrun
