#include "util/ErrorReport.h"

#include "platform/WindowSystem.h"

namespace kestrun {

std::string ErrorReportText(std::string_view className, std::string_view procedure, const ErrorInfo& info) {
  std::string text = platform::App().EXEName;
  text += '.';
  text += className;
  text += '.';
  text += procedure;
  text += ": ";
  text += std::to_string(info.number);
  text += ", ";
  text += info.description;
  return text;
}

namespace {
int g_reported = 0;
}

int ReportedErrorCount() { return g_reported; }

void ReportError(std::string_view className, std::string_view procedure, std::exception_ptr error) {
  ++g_reported;
  platform::Windows().MsgBox(ErrorReportText(className, procedure, ErrorInfoOf(error)), platform::mb::OkOnly,
                             platform::App().Title);
}

}  // namespace kestrun
