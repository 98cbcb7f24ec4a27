#include "app/Argument.h"

#include "platform/Text.h"

namespace kestrun {

void Argument::SetArgumentName(const std::string& value) {
  name_ = text::UCase(value);
  dirty_ = true;
}

void Argument::SetArgumentValue(const std::string& value) {
  value_ = value;
  dirty_ = true;
}

}  // namespace kestrun
