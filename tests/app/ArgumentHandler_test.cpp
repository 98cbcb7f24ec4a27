// The command tail: rebuilt from argv, parsed into switches and positional arguments, looked up by name.
#include "app/ArgumentHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandTail.h"
#include "support/ScriptedWindowSystem.h"

namespace kestrun {
namespace {

using Parsed = std::vector<std::string>;  // "NAME=value", in command-line order

// Parses `tail` after an earlier tail, whose entries must go; each entry also found by its index.
Parsed Parse(const std::string& tail) {
  ArgumentHandler ah;
  ah.ParseCommandLine("/earlier /entries");
  ah.ParseCommandLine(tail);
  Parsed parsed;
  for (const auto& [key, argument] : ah.Arguments()) {
    EXPECT_EQ(ah.GetArgumentIndex(static_cast<int32_t>(parsed.size()) + 1), argument);
    EXPECT_EQ(ah.GetArgumentKey(key), argument);
    parsed.push_back(argument->ArgumentName() + "=" + argument->ArgumentValue());
  }
  EXPECT_EQ(ah.ArgumentCount(), static_cast<int32_t>(parsed.size()));
  return parsed;
}

TEST(ArgumentHandlerParse, Grammar) {
  testing::ScriptedWindowSystem ws;
  // clang-format off
  const std::pair<std::string, Parsed> tails[] = {
      {"", {}},
      {"/Init /Rename:setup.exe C:\\Temp /copy", {"INIT=", "RENAME=setup.exe", "PATH1=C:\\Temp", "COPY="}},
      {"//Copy", {"COPY="}},
      {"/Rename:", {"RENAME="}},
      {"/Rename:\"my setup.exe\"", {"RENAME=my setup.exe"}},
      {"/rename:/RENAME:x", {"RENAME=x"}},  // repetitions of the head go, any case
      {"\"C:\\My Files\" b", {"PATH1=C:\\My Files", "PATH2=b"}},
      {"\tx", {"PATH1=\tx"}},  // only blanks are trimmed
      {"/Rename:\"half open", {"RENAME=half", "PATH1=open"}},
      {"/Größe:äö", {"GRÖßE=äö"}},
  };
  // The tail rebuilt from argv gives back each argument as it was meant, with quotes the shell left in
  // place (a desktop entry, a service file) taken as quoting; a quote of one must not pair with the next.
  const std::pair<std::vector<std::string>, Parsed> argvs[] = {
      {{}, {}},
      {{"/Init", "", "/copy"}, {"INIT=", "COPY="}},
      {{"/Rename:my setup.exe"}, {"RENAME=my setup.exe"}},
      {{"/Rename:\"my setup.exe\""}, {"RENAME=my setup.exe"}},
      {{"/Rename:C:\\x y.exe"}, {"RENAME=C:\\x y.exe"}},
      {{"C:\\My Files", "\"/not-a-switch\"", "plain"}, {"PATH1=C:\\My Files", "PATH2=/not-a-switch", "PATH3=plain"}},
      {{"a\"b", "/Rename:c\"d", "/Copy"}, {"PATH1=a\"b", "RENAME=c\"d", "COPY="}},
  };
  // clang-format on
  for (const auto& [tail, parsed] : tails) EXPECT_EQ(Parse(tail), parsed) << tail;
  for (const auto& [argv, parsed] : argvs) EXPECT_EQ(Parse(BuildCommandTail(argv)), parsed) << BuildCommandTail(argv);
  EXPECT_TRUE(ws.boxes.empty());

  // Hostile tails parse without a crash or a hang, and twenty thousand arguments all arrive.
  testing::CatchProgramEnd catcher;
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "p" + std::to_string(i) + " ";
  for (const std::string& tail : {std::string(100000, ' '), std::string(50001, '"'), "/" + std::string(100000, ':'),
                                  std::string("\x01\x02\x7f /\x1b[31m"), std::string("\xff\xfe /\xc3")})
    ArgumentHandler().ParseCommandLine(tail);
  ArgumentHandler ah;
  ah.ParseCommandLine(many);
  EXPECT_EQ(ah.ArgumentCount(), 20000);
  EXPECT_EQ(ah.GetArgumentIndex(20000)->ArgumentValue(), "p19999");
}

// Callers that walk the arguments rely on which one a lookup leaves selected; a check selects nothing.
TEST(ArgumentHandlerLookup, SelectionFollowsTheLastLookup) {
  ArgumentHandler ah;
  ah.ParseCommandLine("/Init x");
  EXPECT_TRUE(ah.SetArgumentKey("init"));
  ASSERT_TRUE(ah.ActiveArgument());
  EXPECT_EQ(ah.ActiveArgument()->ArgumentName(), "INIT");
  EXPECT_FALSE(ah.SetArgumentKey("COPY"));
  EXPECT_FALSE(ah.ActiveArgument());
  EXPECT_TRUE(ah.SetArgumentIndex(2));
  EXPECT_EQ(ah.ActiveArgument()->ArgumentValue(), "x");
  EXPECT_TRUE(ah.CheckArgumentKey("INIT"));
  EXPECT_EQ(ah.ActiveArgument()->ArgumentValue(), "x");
  EXPECT_FALSE(ah.SetArgumentIndex(3));
  EXPECT_FALSE(ah.ActiveArgument());
}

TEST(ArgumentHandlerDuplicate, EndsTheProgramWithTheCriticalMessage) {
  for (const auto& [tail, name] :
       {std::pair{"/Init /init", "init"}, std::pair{"/Rename:setup.exe /RENAME:x", "RENAME"}}) {
    testing::ScriptedWindowSystem ws;
    testing::CatchProgramEnd catcher;
    try {
      ArgumentHandler().ParseCommandLine(tail);
      FAIL() << "the program went on after " << tail;
    } catch (const testing::ProgramEnded& ended) {
      EXPECT_EQ(ended.exitStatus, 2);
    }
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(ws.boxes[0].prompt, "Duplicate Argument: " + std::string(name));
    EXPECT_EQ(ws.boxes[0].buttons, platform::mb::Critical);
    EXPECT_EQ(ws.boxes[0].caption, "Kestrun");
  }
}

}  // namespace
}  // namespace kestrun
