#pragma once
#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/RegistryApi.h"

// The registry held in memory, and its REGEDIT4 text form. Internal to the store.
namespace kestrun::platform::reg::detail {

inline constexpr std::size_t MaxKeyNameBytes = 255;
inline constexpr std::size_t MaxKeyDepth = 512;
// A store file larger than this is not read as a registry (and so is never overwritten).
inline constexpr std::size_t MaxStoreFileBytes = 256u * 1024u * 1024u;
inline constexpr const char* TooLargeFault = "the file is larger than 256 MB";

struct Value {
  std::string name;  // the case it was created with
  DWORD type = REG_NONE;
  std::string data;     // the bytes exactly as written
  bool erased = false;  // deleted, awaiting Compact
};

class Key {
 public:
  explicit Key(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  // Values in creation order (none erased unless a deferred DeleteValue awaits Compact).
  const std::vector<Value>& Values() const { return values_; }
  const Value* FindValue(std::string_view name) const;
  // Creates or replaces; a replaced value keeps its place and the case of its name.
  void SetValue(std::string_view name, DWORD type, std::string data);
  // With `deferCompact` the value is only marked erased, so that many deletions in a row (a long file
  // of "name"=- lines) stay linear; Compact must follow before Values() is used.
  bool DeleteValue(std::string_view name, bool deferCompact = false);
  void Compact();
  // Compacts this key and every key below it.
  void CompactTree();

  // Sub-keys in name order, compared without regard to case.
  const std::map<std::string, std::unique_ptr<Key>>& SubKeys() const { return subKeys_; }
  Key* FindSubKey(std::string_view name) const;
  // Returns the sub-key, creating it when missing; `created` tells which.
  Key& SubKey(std::string_view name, bool& created);
  bool DeleteSubKey(std::string_view name);

 private:
  std::string name_;
  std::vector<Value> values_;
  std::unordered_map<std::string, std::size_t> valueIndex_;  // upper-cased name -> position in values_
  std::size_t erasedCount_ = 0;
  std::map<std::string, std::unique_ptr<Key>> subKeys_;  // upper-cased name -> key
};

// The roots the store knows, in the order the file lists them.
struct RootInfo {
  HKEY handle;
  const char* name;
};
inline constexpr std::array<RootInfo, 5> Roots{{{HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
                                                {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
                                                {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
                                                {HKEY_USERS, "HKEY_USERS"},
                                                {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"}}};
// Position in Roots of a predefined handle, or -1.
int RootIndex(HKEY handle);
// Position in Roots of a root name (compared without regard to case, as the registry editor does), or -1.
int RootIndexOfName(std::string_view name);

class Document {
 public:
  Document();
  Key& Root(int index) { return *roots_[static_cast<std::size_t>(index)]; }
  const Key& Root(int index) const { return *roots_[static_cast<std::size_t>(index)]; }

 private:
  std::vector<std::unique_ptr<Key>> roots_;
};

// Splits a key path at "\" into its names. A trailing "\" is allowed; an empty name elsewhere gives
// ERROR_BAD_PATHNAME, a name with a control character or longer than MaxKeyNameBytes and a path deeper
// than `maxNames` give ERROR_INVALID_PARAMETER.
LONG SplitKeyPath(std::string_view path, std::vector<std::string_view>& names, std::size_t maxNames = MaxKeyDepth);
bool IsValidValueName(std::string_view name);

// Why a file is no registry file the store can read: the 1-based line (0 for the file as a whole) and
// what is wrong there, in words for the person who is to mend it.
struct ParseFailure {
  std::size_t line = 0;
  std::string what;
};

// Reads a store file: REGEDIT4 text in UTF-8, or the registry editor's UTF-16LE export headed "Windows
// Registry Editor Version 5.00", whose text data is read into UTF-8. Nullopt when the file is neither,
// or holds anything the store could not write back exactly; `failure`, when given, then says why.
std::optional<Document> ParseDocument(std::string_view file, ParseFailure* failure = nullptr);
std::string SerializeDocument(const Document& doc);

}  // namespace kestrun::platform::reg::detail
