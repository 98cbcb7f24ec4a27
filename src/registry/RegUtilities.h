#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "registry/Recordset.h"
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

  // The key's values, whatever their type, as numbered lines "1: name: 01, FF" and a line break, their
  // data in the hexadecimal form `lngOutFormat` of StringUtilities::BinaryInStringToHexInString. With
  // `strKey` only the data of the value of that name (any letter case), "" when there is none. "" when
  // the key cannot be opened. A name or data over 2000 characters ends the listing there, silently.
  std::string EnumerateBinaryKey(const std::string& strHive, int32_t lngOutFormat,
                                 const std::string& strKey = "") const;
  // The key's values as rows of "Name" and "Data" (the data less its last byte, the terminator of a
  // text), in the store's order and standing on the first row; with `strKey` only the value of that name.
  // Null when the key cannot be opened. A value without any data, or a name or data over the columns'
  // 255 characters, raises to the caller; over 2000 characters the listing ends there, silently.
  std::unique_ptr<Recordset> EnumerateAnyKey(const std::string& strHive, const std::string& strKey = "") const;
  // The key's sub-keys as rows with their names in "Name" and an empty "Data", in name order. Null when
  // the key cannot be opened; open and empty when it has no sub-keys.
  std::unique_ptr<Recordset> EnumerateAnyBranch(const std::string& strHive) const;
  // Deletes the key when it has no sub-keys (as the registry does: a key with sub-keys stays). Says
  // nothing and gives nothing back, whatever happened.
  void DeleteKey(const std::string& strHive) const;
  // Deletes the value. True when the key holds no such value afterwards: it was deleted, or there was
  // none. False when the store refused (it cannot be written or read) and the value may still be there,
  // and after an error report.
  bool DeleteValue(const std::string& strHive, const std::string& vValueName) const;

 private:
  void WriteKeyValue(std::uint32_t lngRootKey, const std::string& strBranch, const std::string& vValueName,
                     const RegSetting& vValue, std::uint32_t lngType) const;
  std::int32_t WriteValueData(std::uintptr_t lngKey, const std::string& vValueName, std::uint32_t lngType,
                              const RegSetting& vValue) const;
  std::int32_t ReadValueType(std::uintptr_t lngKey, const std::string& vValueName) const;
  std::int32_t ReadValueData(std::uintptr_t lngKey, const std::string& vValueName, std::string& strData) const;
  // A new, open, empty record set with the text columns "Name" and "Data" of 255 characters; null, or as
  // far as it got, when building it failed.
  std::unique_ptr<Recordset> CreateRecordset() const;
};

// How many writes of a setting this process could not make (each one told the user in a message box);
// a run that could not record what it did ends with a failure status.
int FailedSettingWrites();

}  // namespace kestrun
