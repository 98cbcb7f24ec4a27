#pragma once
#include <exception>
#include <stdexcept>
#include <string>

namespace kestrun {

// Well-known runtime error numbers the program raises and reports.
namespace err {
inline constexpr int InvalidProcedureCall = 5;
inline constexpr int Overflow = 6;
inline constexpr int OutOfMemory = 7;
inline constexpr int SubscriptOutOfRange = 9;
inline constexpr int TypeMismatch = 13;
inline constexpr int FileNotFound = 53;
inline constexpr int FileAlreadyOpen = 55;
inline constexpr int DeviceIoError = 57;
inline constexpr int FileAlreadyExists = 58;
inline constexpr int DiskFull = 61;
inline constexpr int InputPastEnd = 62;
inline constexpr int PermissionDenied = 70;
inline constexpr int DiskNotReady = 71;
inline constexpr int PathFileAccessError = 75;
inline constexpr int PathNotFound = 76;
inline constexpr int ObjectVariableNotSet = 91;
inline constexpr int InvalidPattern = 93;
inline constexpr int CannotCreateObject = 429;
inline constexpr int KeyAlreadyAssociated = 457;
}  // namespace err

// The standard description of a runtime error number ("Overflow", "File not found", ...).
std::string StandardErrorDescription(int number);

// The one exception type of the program: a runtime error number and its description.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(int number);
  RuntimeError(int number, const std::string& description);
  int Number() const noexcept { return number_; }
  std::string Description() const { return what(); }

 private:
  int number_;
};

[[noreturn]] void Raise(int number);
[[noreturn]] void Raise(int number, const std::string& description);

// Number and description of any exception, as the error report shows them.
struct ErrorInfo {
  int number;
  std::string description;
};
ErrorInfo ErrorInfoOf(std::exception_ptr error);

}  // namespace kestrun
