#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace kestrun {
namespace {

TEST(CommandTail, QuotesArgumentsWithBlanksTheWayAUserTypesThem) {
  struct Case {
    std::vector<const char*> argv;
    std::string tail;
  };
  const std::vector<Case> cases = {
      {{"kestrun"}, ""},
      {{"kestrun", "/Init", "/Copy"}, "/Init /Copy"},
      {{"kestrun", "/Rename:my setup.exe"}, "/Rename:\"my setup.exe\""},
      {{"kestrun", "C:\\My Files"}, "\"C:\\My Files\""},
      {{"kestrun", "a b:c"}, "\"a b:c\""},
      {{"kestrun", ""}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::BuildCommandTail(static_cast<int>(c.argv.size()), c.argv.data()), c.tail);
  }
}

}  // namespace
}  // namespace kestrun
