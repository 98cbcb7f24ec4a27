#pragma once
#include <exception>
#include <string>
#include <string_view>

#include "util/RuntimeError.h"

namespace kestrun {

// "<exe name>.<Class>.<Procedure>: <number>, <description>"
std::string ErrorReportText(std::string_view className, std::string_view procedure, const ErrorInfo& info);

// Shows the error report for the failure being handled in a message box with an OK button only and the
// application's title as caption. Call it from a catch block: `catch (...) { ReportError("AppMain", "ShowMain"); }`
void ReportError(std::string_view className, std::string_view procedure,
                 std::exception_ptr error = std::current_exception());

// How many error reports this process has shown; a run that showed one ends with a failure status.
int ReportedErrorCount();

}  // namespace kestrun
