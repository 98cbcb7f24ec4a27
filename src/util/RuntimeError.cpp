#include "util/RuntimeError.h"

#include <new>
#include <system_error>

namespace kestrun {

std::string StandardErrorDescription(int number) {
  switch (number) {
    case 3: return "Return without GoSub";
    case 5: return "Invalid procedure call or argument";
    case 6: return "Overflow";
    case 7: return "Out of memory";
    case 9: return "Subscript out of range";
    case 11: return "Division by zero";
    case 13: return "Type mismatch";
    case 28: return "Out of stack space";
    case 52: return "Bad file name or number";
    case 53: return "File not found";
    case 54: return "Bad file mode";
    case 55: return "File already open";
    case 57: return "Device I/O error";
    case 58: return "File already exists";
    case 61: return "Disk full";
    case 62: return "Input past end of file";
    case 67: return "Too many files";
    case 68: return "Device unavailable";
    case 70: return "Permission denied";
    case 71: return "Disk not ready";
    case 74: return "Can't rename with different drive";
    case 75: return "Path/File access error";
    case 76: return "Path not found";
    case 91: return "Object variable or With block variable not set";
    case 93: return "Invalid pattern string";
    case 94: return "Invalid use of Null";
    case 429: return "ActiveX component can't create object";
    case 457: return "This key is already associated with an element of this collection";
    default: return "Application-defined or object-defined error";
  }
}

RuntimeError::RuntimeError(int number) : std::runtime_error(StandardErrorDescription(number)), number_(number) {}

RuntimeError::RuntimeError(int number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

void Raise(int number) { throw RuntimeError(number); }
void Raise(int number, const std::string& description) { throw RuntimeError(number, description); }

ErrorInfo ErrorInfoOf(std::exception_ptr error) {
  try {
    if (error) std::rethrow_exception(error);
  } catch (const RuntimeError& e) {
    return {e.Number(), e.Description()};
  } catch (const std::bad_alloc&) {
    return {err::OutOfMemory, StandardErrorDescription(err::OutOfMemory)};
  } catch (const std::out_of_range&) {
    return {err::SubscriptOutOfRange, StandardErrorDescription(err::SubscriptOutOfRange)};
  } catch (const std::overflow_error&) {
    return {err::Overflow, StandardErrorDescription(err::Overflow)};
  } catch (const std::system_error& e) {
    return {err::DeviceIoError, e.what()};
  } catch (const std::exception& e) {
    return {err::InvalidProcedureCall, e.what()};
  } catch (...) {
  }
  return {err::InvalidProcedureCall, StandardErrorDescription(err::InvalidProcedureCall)};
}

}  // namespace kestrun
