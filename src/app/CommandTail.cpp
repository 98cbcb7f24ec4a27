#include "app/CommandTail.h"

namespace kestrun {

namespace {

std::string Trim(const std::string& text, char c) {
  const std::size_t first = text.find_first_not_of(c);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(c) - first + 1);
}

// The parser splits at blanks except inside the first pair of quotes of a field, and strips all quotes
// from both ends of a value. So a value is quoted when a blank would split it, when a quote in it would
// pair with one of the next argument, or when a bare positional value would read as a switch. A value
// with a blank after a quote of its own cannot be told apart from two arguments: it goes as well as it can.
std::string Quoted(const std::string& value, bool positional) {
  const bool needsQuotes = value.find_first_of(" \"") != std::string::npos || (positional && !value.empty() && value[0] == '/');
  return needsQuotes ? '"' + value + '"' : value;
}

// One argument as one field of the tail.
std::string Field(const std::string& argument) {
  const std::string field = Trim(argument, ' ');
  if (field.empty()) return {};
  if (field[0] != '/') return Quoted(Trim(field, '"'), true);
  const std::size_t colon = field.find(':');
  // A switch keeps its name outside the quotes: /Rename:"my setup.exe".
  if (colon == std::string::npos) return field;
  return field.substr(0, colon + 1) + Quoted(Trim(Trim(field.substr(colon + 1), ' '), '"'), false);
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
