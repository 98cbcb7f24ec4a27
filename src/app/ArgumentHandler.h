#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "app/Argument.h"
#include "util/KeyedCollection.h"
#include "util/StringUtilities.h"

namespace kestrun {

// Splits the command-line tail into named arguments once and answers lookups. It knows no switch
// names: which ones mean something is the driver's business.
class ArgumentHandler {
 public:
  using ArgumentList = KeyedCollection<std::shared_ptr<Argument>>;

  const ArgumentList& Arguments() const { return arguments_; }
  // The entry last selected by SetArgumentIndex or SetArgumentKey; nullptr after a failed selection.
  std::shared_ptr<Argument> ActiveArgument() const { return active_; }

  int32_t ArgumentCount() const { return arguments_.Count(); }
  std::shared_ptr<Argument> GetArgumentIndex(int32_t lngIndex) const;
  std::shared_ptr<Argument> GetArgumentKey(const std::string& strKey) const;
  bool CheckArgumentKey(const std::string& strKey) const;
  bool SetArgumentIndex(int32_t lngIndex);
  bool SetArgumentKey(const std::string& strKey);
  // Appends an entry. A key already present shows "Duplicate Argument: " and ends the program at once.
  void AddArgument(const std::string& strName, const std::string& strValue);
  void ParseCommandLine(const std::string& strCommand);

 private:
  void AddSwitch(const std::string& field);

  ArgumentList arguments_;
  std::shared_ptr<Argument> active_;
  StringUtilities su_;
};

}  // namespace kestrun
