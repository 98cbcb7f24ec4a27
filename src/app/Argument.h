#pragma once
#include <string>

namespace kestrun {

// One command-line argument: a switch name (kept in upper case) and its value.
class Argument {
 public:
  bool Dirty() const { return dirty_; }
  void SetDirty(bool value) { dirty_ = value; }

  const std::string& ArgumentName() const { return name_; }
  void SetArgumentName(const std::string& value);

  const std::string& ArgumentValue() const { return value_; }
  void SetArgumentValue(const std::string& value);

 private:
  bool dirty_ = false;
  std::string name_;
  std::string value_;
};

}  // namespace kestrun
