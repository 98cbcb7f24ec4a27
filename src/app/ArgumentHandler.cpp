#include "app/ArgumentHandler.h"

#include <exception>

#include "platform/WindowSystem.h"

namespace kestrun {

std::shared_ptr<Argument> ArgumentHandler::GetArgumentIndex(int32_t lngIndex) const {
  const auto* item = arguments_.ItemAt(lngIndex);
  return item ? *item : nullptr;
}

std::shared_ptr<Argument> ArgumentHandler::GetArgumentKey(const std::string& strKey) const {
  const auto* item = arguments_.Item(strKey);
  return item ? *item : nullptr;
}

bool ArgumentHandler::CheckArgumentKey(const std::string& strKey) const { return arguments_.Item(strKey) != nullptr; }

bool ArgumentHandler::SetArgumentIndex(int32_t lngIndex) {
  active_ = GetArgumentIndex(lngIndex);
  return active_ != nullptr;
}

bool ArgumentHandler::SetArgumentKey(const std::string& strKey) {
  active_ = GetArgumentKey(strKey);
  return active_ != nullptr;
}

void ArgumentHandler::AddArgument(const std::string& strName, const std::string& strValue) {
  try {
    auto argument = std::make_shared<Argument>();
    argument->SetArgumentName(strName);
    argument->SetArgumentValue(strValue);
    argument->SetDirty(false);
    arguments_.Add(argument, strName);
  } catch (const std::exception&) {
    // A switch given twice is a mistake in a scheduled command line: stop before anything is written.
    platform::Windows().MsgBox("Duplicate Argument: " + strName, platform::mb::OkOnly | platform::mb::Critical,
                               platform::App().Title);
    platform::EndProgramAtOnce(2);
  }
}

void ArgumentHandler::AddSwitch(const std::string& field) {
  if (su_.GetPosNum(field, ":", true) == 1) {
    AddArgument(su_.LTrimText(field, "/"), "");
    return;
  }
  const std::string head = su_.TrimText(su_.GetPosSep(field, ":", 1, true), " ");
  std::string value = su_.LTrimText(field, head + ":", true);
  value = su_.TrimText(value, " ");
  value = su_.TrimText(value, "\"");
  AddArgument(su_.LTrimText(head, "/"), value);
}

void ArgumentHandler::ParseCommandLine(const std::string& strCommand) {
  arguments_.Clear();
  int32_t positional = 1;
  try {
    su_.ForEachField(strCommand, " ", true, [&](const std::string& raw) {
      const std::string field = su_.TrimText(raw, " ");
      if (field.empty()) return;
      if (su_.StartsWith(field, "/")) {
        AddSwitch(field);
      } else {
        AddArgument("PATH" + std::to_string(positional), su_.TrimText(field, "\""));
        ++positional;
      }
    });
  } catch (const std::exception&) {
    // A broken tail ends the parse; what was added so far stays.
  }
}

}  // namespace kestrun
