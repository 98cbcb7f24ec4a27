#include "app/CommandTail.h"

#include "util/StringUtilities.h"

namespace kestrun {

namespace {

// The parser splits at blanks except inside the first pair of quotes of a field, and strips all quotes
// from both ends of a value. So a value is quoted when a blank would split it, when a quote in it would
// pair with one of the next argument, or when a bare positional value would read as a switch. A value
// with a blank after a quote of its own cannot be told apart from two arguments: it goes as well as it can.
std::string Quoted(const std::string& value, bool positional) {
  const bool needsQuotes =
      value.find_first_of(" \"") != std::string::npos || (positional && !value.empty() && value[0] == '/');
  return needsQuotes ? '"' + value + '"' : value;
}

// One argument as one field of the tail.
std::string Field(const std::string& argument) {
  // Trimmed as the parser trims: every blank, or every quote, at either end.
  const StringUtilities su;
  const std::string field = su.TrimText(argument, " ");
  if (field.empty()) return {};
  if (field[0] != '/') return Quoted(su.TrimText(field, "\""), true);
  const std::size_t colon = field.find(':');
  // A switch keeps its name outside the quotes: /Rename:"my setup.exe".
  if (colon == std::string::npos) return field;
  return field.substr(0, colon + 1) + Quoted(su.TrimText(su.TrimText(field.substr(colon + 1), " "), "\""), false);
}

}  // namespace

std::string BuildCommandTail(const std::vector<std::string>& arguments) {
  std::string tail;
  for (const std::string& argument : arguments) {
    const std::string field = Field(argument);
    if (field.empty()) continue;
    if (!tail.empty()) tail += ' ';
    tail += field;
  }
  return tail;
}

}  // namespace kestrun
