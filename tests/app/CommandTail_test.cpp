#include "app/CommandTail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ArgumentHandler.h"

namespace kestrun {
namespace {

// The tail rebuilt from argv, read back by the parser: each argument comes back as it was meant, with
// quotes the shell left in place (a desktop entry, a service file) taken as quoting.
TEST(CommandTail, TheParserGivesBackEachArgument) {
  struct Case {
    std::vector<std::string> argv;
    std::vector<std::pair<std::string, std::string>> parsed;  // name, value
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"/Init", "", "/copy"}, {{"INIT", ""}, {"COPY", ""}}},
      {{"/Rename:my setup.exe"}, {{"RENAME", "my setup.exe"}}},
      {{"/Rename:\"my setup.exe\""}, {{"RENAME", "my setup.exe"}}},
      {{"/Rename:C:\\x y.exe"}, {{"RENAME", "C:\\x y.exe"}}},
      {{"C:\\My Files", "\"/not a switch\"", "plain"},
       {{"PATH1", "C:\\My Files"}, {"PATH2", "/not a switch"}, {"PATH3", "plain"}}},
      // A quote of one argument must not pair with one of the next.
      {{"a\"b", "/Rename:c\"d", "/Copy"}, {{"PATH1", "a\"b"}, {"RENAME", "c\"d"}, {"COPY", ""}}},
  };
  for (const auto& c : cases) {
    const std::string tail = BuildCommandTail(c.argv);
    SCOPED_TRACE(tail);
    ArgumentHandler handler;
    handler.ParseCommandLine(tail);
    std::vector<std::pair<std::string, std::string>> parsed;
    for (const auto& [key, argument] : handler.Arguments())
      parsed.emplace_back(argument->ArgumentName(), argument->ArgumentValue());
    EXPECT_EQ(parsed, c.parsed);
  }
}

}  // namespace
}  // namespace kestrun
