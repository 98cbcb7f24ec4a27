#include "app/ArgumentHandler.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ScriptedWindowSystem.h"

namespace kestrun {
namespace {

struct Entry {
  std::string key;  // the key it can be looked up by
  std::string name;
  std::string value;
};

TEST(ArgumentHandlerParse, Grammar) {
  const std::vector<std::pair<std::string, std::vector<Entry>>> cases = {
      {"", {}},
      {"/Init /Rename:setup.exe C:\\Temp /copy",
       {{"Init", "INIT", ""}, {"Rename", "RENAME", "setup.exe"}, {"PATH1", "PATH1", "C:\\Temp"}, {"copy", "COPY", ""}}},
      {"//Copy", {{"Copy", "COPY", ""}}},
      {"/Rename:", {{"Rename", "RENAME", ""}}},
      {"/Rename:\"my setup.exe\"", {{"Rename", "RENAME", "my setup.exe"}}},
      {"/rename:/RENAME:x", {{"rename", "RENAME", "x"}}},  // repetitions of the head go, any case
      {"\"C:\\My Files\" b", {{"PATH1", "PATH1", "C:\\My Files"}, {"PATH2", "PATH2", "b"}}},
      {"\tx", {{"PATH1", "PATH1", "\tx"}}},  // only blanks are trimmed
      {"/Rename:\"half open", {{"Rename", "RENAME", "half"}, {"PATH1", "PATH1", "open"}}},
      {"/Größe:äö", {{"GRÖßE", "GRÖßE", "äö"}}},
  };
  testing::ScriptedWindowSystem ws;
  for (const auto& [tail, entries] : cases) {
    SCOPED_TRACE(tail);
    ArgumentHandler ah;
    ah.ParseCommandLine("/earlier /entries");  // parsing again drops them
    ah.ParseCommandLine(tail);
    ASSERT_EQ(ah.ArgumentCount(), static_cast<int32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      auto byIndex = ah.GetArgumentIndex(static_cast<int32_t>(i + 1));
      ASSERT_TRUE(byIndex);
      EXPECT_EQ(byIndex->ArgumentName(), entries[i].name);
      EXPECT_EQ(byIndex->ArgumentValue(), entries[i].value);
      EXPECT_EQ(ah.GetArgumentKey(entries[i].key), byIndex);
    }
  }
  EXPECT_TRUE(ws.boxes.empty());
}

TEST(ArgumentHandlerParse, HostileTailsParseWithoutCrashOrHang) {
  testing::ScriptedWindowSystem ws;
  testing::CatchProgramEnd catcher;
  std::vector<std::string> tails = {std::string(100000, ' '), std::string(50001, '"'), "/" + std::string(100000, ':'),
                                    "\x01\x02\x7f /\x1b[31m", "\xff\xfe /\xc3"};
  std::string many;
  for (int i = 0; i < 20000; ++i) many += "p" + std::to_string(i) + " ";
  tails.push_back(many);
  for (const auto& tail : tails) ArgumentHandler().ParseCommandLine(tail);
  ArgumentHandler ah;
  ah.ParseCommandLine(many);
  EXPECT_EQ(ah.ArgumentCount(), 20000);
  EXPECT_EQ(ah.GetArgumentIndex(20000)->ArgumentValue(), "p19999");
}

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
  EXPECT_EQ(ah.ActiveArgument()->ArgumentValue(), "x");  // a check selects nothing
  EXPECT_FALSE(ah.SetArgumentIndex(3));
  EXPECT_FALSE(ah.ActiveArgument());
}

TEST(ArgumentHandlerDuplicate, EndsTheProgramWithTheCriticalMessage) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/Init /init", "init"},
      {"/Rename:setup.exe /RENAME:x.exe", "RENAME"},
  };
  for (const auto& [tail, name] : cases) {
    testing::ScriptedWindowSystem ws;
    testing::CatchProgramEnd catcher;
    ArgumentHandler ah;
    try {
      ah.ParseCommandLine(tail);
      FAIL() << "the program went on after " << tail;
    } catch (const testing::ProgramEnded& ended) {
      EXPECT_EQ(ended.exitStatus, 2);
    }
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(ws.boxes[0].prompt, "Duplicate Argument: " + name);
    EXPECT_EQ(ws.boxes[0].buttons, platform::mb::Critical);
    EXPECT_EQ(ws.boxes[0].caption, "Kestrun");
  }
}

}  // namespace
}  // namespace kestrun
