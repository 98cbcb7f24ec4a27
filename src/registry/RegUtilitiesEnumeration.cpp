// The second half of RegUtilities: listing the values or the sub-keys of a key, and deleting a key or a
// value. Like the first half, each call opens its key, works and closes it again.
#include <array>
#include <string_view>

#include "platform/RegistryApi.h"
#include "platform/Text.h"
#include "registry/OpenKey.h"
#include "registry/RegUtilities.h"
#include "util/ErrorReport.h"
#include "util/StringUtilities.h"

namespace kestrun {

using namespace regkey;  // the keys' access masks and the self-closing open key

namespace {

// Names, data and class names are read into buffers of this many characters; an entry that does not
// fit ends the listing there.
constexpr reg::DWORD ListingBufferChars = 2000;

// One key's values, one after the other, each read into the listing's buffers.
class ValueListing {
 public:
  explicit ValueListing(reg::HKEY key) : key_(key) {}
  // The next value; false at the end, at a failure, or at a name or data too long for the buffers.
  bool Next(std::string_view& name, std::string_view& data) {
    reg::DWORD nameChars = ListingBufferChars;
    reg::DWORD dataBytes = ListingBufferChars;
    if (reg::RegEnumValue(key_, index_, name_.data(), &nameChars, nullptr, nullptr, data_.data(), &dataBytes) !=
        reg::ERROR_SUCCESS) {
      return false;
    }
    ++index_;
    name = std::string_view(name_.data(), nameChars);
    data = std::string_view(reinterpret_cast<const char*>(data_.data()), dataBytes);
    return true;
  }
  // How many values were read so far: the 1-based number of the last one.
  reg::DWORD Count() const { return index_; }

 private:
  reg::HKEY key_;
  reg::DWORD index_ = 0;
  std::array<char, ListingBufferChars> name_{};
  std::array<reg::BYTE, ListingBufferChars> data_{};
};

// One row of a listing. Without a record set (building it failed) this is the object error a missing
// object gives.
void AddRow(Recordset* rs, std::string_view name, std::string_view data) {
  if (!rs) Raise(err::ObjectVariableNotSet);
  rs->AddNew();
  rs->SetField("Name", name);
  rs->SetField("Data", data);
}

// Whether the key certainly holds no value of that name: the key or its root does not exist, or the
// key has no such value. A store that cannot be read leaves it open, which is no.
bool ValueIsAbsent(std::uint32_t root, const std::string& branch, const std::string& name) {
  OpenKey key;
  const reg::LONG status = reg::RegOpenKeyEx(root, branch, 0, ReadAccess, key.Out());
  if (status == reg::ERROR_FILE_NOT_FOUND || status == reg::ERROR_INVALID_HANDLE) return true;
  if (status != reg::ERROR_SUCCESS) return false;
  reg::DWORD type = 0;
  return reg::RegQueryValueEx(key.Get(), name, nullptr, &type, nullptr, nullptr) == reg::ERROR_FILE_NOT_FOUND;
}

}  // namespace

std::string RegUtilities::EnumerateBinaryKey(const std::string& strHive, int32_t lngOutFormat,
                                             const std::string& strKey) const {
  OpenKey key;
  if (reg::RegOpenKeyEx(GetPredefinedRootKey(strHive), GetBranch(strHive), 0, ReadAccess, key.Out()) !=
      reg::ERROR_SUCCESS) {
    return {};
  }
  const StringUtilities su;
  const std::string wanted = text::UCase(strKey);
  std::string result;
  ValueListing listing(key.Get());
  std::string_view name;
  std::string_view data;
  while (listing.Next(name, data)) {
    if (strKey.empty()) {
      result += std::to_string(listing.Count());
      result += ": ";
      result += name;
      result += ": ";
      result += su.BinaryInStringToHexInString(std::string(data), lngOutFormat);
      result += "\r\n";
    } else if (text::UCase(name) == wanted) {
      result = su.BinaryInStringToHexInString(std::string(data), lngOutFormat);
    }
  }
  return result;
}

std::unique_ptr<Recordset> RegUtilities::EnumerateAnyKey(const std::string& strHive, const std::string& strKey) const {
  const std::uint32_t root = GetPredefinedRootKey(strHive);
  const std::string branch = GetBranch(strHive);
  std::unique_ptr<Recordset> rs = CreateRecordset();
  OpenKey key;
  if (reg::RegOpenKeyEx(root, branch, 0, ReadAccess, key.Out()) != reg::ERROR_SUCCESS) return nullptr;
  const std::string wanted = text::UCase(strKey);
  ValueListing listing(key.Get());
  std::string_view name;
  std::string_view data;
  while (listing.Next(name, data)) {
    // The last byte is the terminator of a text value. Data without any byte has none to drop, and the
    // listing fails there, whichever value is asked for.
    if (data.empty()) Raise(err::InvalidProcedureCall);
    data.remove_suffix(1);
    if (!strKey.empty() && text::UCase(name) != wanted) continue;
    AddRow(rs.get(), name, data);
  }
  key.Close();
  if (rs && !rs->Bof()) rs->MoveFirst();
  return rs;
}

std::unique_ptr<Recordset> RegUtilities::EnumerateAnyBranch(const std::string& strHive) const {
  const std::uint32_t root = GetPredefinedRootKey(strHive);
  const std::string branch = GetBranch(strHive);
  std::unique_ptr<Recordset> rs = CreateRecordset();
  OpenKey key;
  if (reg::RegOpenKeyEx(root, branch, 0, ReadAccess, key.Out()) != reg::ERROR_SUCCESS) return nullptr;
  std::array<char, ListingBufferChars> name{};
  std::array<char, ListingBufferChars> className{};
  for (reg::DWORD index = 0;; ++index) {
    reg::DWORD nameChars = ListingBufferChars;
    reg::DWORD classChars = ListingBufferChars;
    reg::FILETIME written;
    if (reg::RegEnumKeyEx(key.Get(), index, name.data(), &nameChars, nullptr, className.data(), &classChars,
                          &written) != reg::ERROR_SUCCESS) {
      break;
    }
    AddRow(rs.get(), std::string_view(name.data(), nameChars), {});
  }
  key.Close();
  if (rs && !rs->Bof()) rs->MoveFirst();
  return rs;
}

std::unique_ptr<Recordset> RegUtilities::CreateRecordset() const {
  std::unique_ptr<Recordset> rs;
  try {
    rs = std::make_unique<Recordset>();
    rs->Fields().Append("Name", Recordset::adVarChar, 255);
    rs->Fields().Append("Data", Recordset::adVarChar, 255);
    rs->Open();
  } catch (...) {
    // Not shown: the caller gets the record set as far as it was built, or none.
  }
  return rs;
}

void RegUtilities::DeleteKey(const std::string& strHive) const {
  try {
    reg::RegDeleteKey(GetPredefinedRootKey(strHive), GetBranch(strHive));
  } catch (...) {
    // Deleting a key never reports anything.
  }
}

bool RegUtilities::DeleteValue(const std::string& strHive, const std::string& vValueName) const {
  try {
    const std::uint32_t root = GetPredefinedRootKey(strHive);
    const std::string branch = GetBranch(strHive);
    reg::LONG status = reg::ERROR_SUCCESS;
    {
      OpenKey key;
      status = reg::RegOpenKeyEx(root, branch, 0, FullAccess, key.Out());
      if (status == reg::ERROR_SUCCESS) status = reg::RegDeleteValue(key.Get(), vValueName);
    }
    // Deleted, or nothing to delete: no such value, key or root.
    if (status == reg::ERROR_SUCCESS || status == reg::ERROR_FILE_NOT_FOUND || status == reg::ERROR_INVALID_HANDLE) {
      return true;
    }
    // The store refused: a store that cannot be written or read. Whether the value is there after all
    // decides, since a missing key in a store that cannot be written is refused the same way.
    return ValueIsAbsent(root, branch, vValueName);
  } catch (...) {
    ReportError("RegUtilities", "DeleteValue");
    return false;
  }
}

}  // namespace kestrun
