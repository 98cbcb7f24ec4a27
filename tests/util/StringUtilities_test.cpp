#include "util/StringUtilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrun {
namespace {

TEST(StringUtilitiesFields, CountsAndFieldsAgreeWithOnePassSplit) {
  const struct {
    std::string text;
    std::string sep;
    bool keepQuoted;
    std::vector<std::string> fields;  // fields 1..GetPosNum
  } cases[] = {
      {"", ",", false, {""}},
      {"a,b,,", ",", false, {"a", "b", "", ""}},
      {"a  b", " ", false, {"a", "", "b"}},
      {"a\r\nb\r\n", "\r\n", false, {"a", "b", ""}},
      // A quoted stretch keeps its separators; an unclosed quote protects nothing.
      {"/a:\"x y\" /b", " ", true, {"/a:\"x y\"", "/b"}},
      {"/a:\"x y\" /b", " ", false, {"/a:\"x", "y\"", "/b"}},
      {"a \"b c", " ", true, {"a", "\"b", "c"}},
      {"a::b", "::", false, {"a", "b"}},
  };
  StringUtilities su;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(su.GetPosNum(c.text, c.sep, c.keepQuoted), static_cast<int32_t>(c.fields.size()));
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(su.GetPosSep(c.text, c.sep, static_cast<int32_t>(i + 1), c.keepQuoted), c.fields[i]) << i + 1;
    }
    EXPECT_EQ(su.SplitFields(c.text, c.sep, c.keepQuoted), c.fields);
  }
  EXPECT_EQ(su.GetPosSep("a,b", ",", 5), "");
  EXPECT_EQ(su.GetPosSep("a,b", ",", -3), "");
  EXPECT_EQ(su.GetPosSep("Xab", "x", 1), "");  // the begins-with test of the first field ignores case
  EXPECT_EQ(su.GetSepPos("aaa", "aa", 2), 2);  // overlapping occurrences
  EXPECT_EQ(su.GetSepPos("äb,c", ",", 1), 3);  // characters, not bytes
}

TEST(StringUtilitiesFields, LongInputsSplitInOnePass) {
  StringUtilities su;
  EXPECT_EQ(su.SplitFields(std::string(200000, ' '), " ", true).size(), 200001u);
  EXPECT_EQ(su.SplitFields(std::string(100000, '"') + " a", " ", true).size(), 2u);
}

TEST(StringUtilitiesTrim, RemovesTheWholeTrimTextAsOftenAsItStands) {
  const struct {
    std::string text, trim;
    bool ignoreCase;
    std::string right, left;
  } cases[] = {
      {"abcxyxy", "xy", false, "abc", "abcxyxy"},
      {"ABab", "ab", false, "AB", "ABab"},
      {"XxY", "x", true, "XxY", "Y"},
      {"ÄäB", "ä", true, "ÄäB", "B"},  // case mapping covers Latin-1 and keeps the text's own case
      {"ab", "", false, "ab", "ab"},
      {"\r\n\r\nline\r\n\r\n", "\r\n", false, "\r\n\r\nline", "line\r\n\r\n"},
  };
  StringUtilities su;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.trim);
    EXPECT_EQ(su.RTrimText(c.text, c.trim, c.ignoreCase), c.right);
    EXPECT_EQ(su.LTrimText(c.text, c.trim, c.ignoreCase), c.left);
  }
  EXPECT_EQ(su.TrimText("\"\"x\"", "\""), "x");
}

TEST(StringUtilitiesPathEnding, FollowsThePathSyntax) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  EXPECT_EQ(win.CheckPathEnding("C:\\"), "C:\\");
  EXPECT_EQ(win.CheckPathEnding("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(win.RemovePathEnding("C:\\dir\\\\"), "C:\\dir");
  StringUtilities posix(PathSyntax::PosixSyntax());
  EXPECT_EQ(posix.CheckPathEnding(""), "/");
  EXPECT_EQ(posix.CheckPathEnding("C:\\dir"), "C:\\dir/");  // a backslash is an ordinary character here
}

TEST(StringUtilitiesTests, StartsAndEndsWithIgnoreCase) {
  StringUtilities su;
  EXPECT_FALSE(su.StartsWith("Ab", "abc"));
  EXPECT_TRUE(su.EndsWith("école", "OLE"));
  EXPECT_TRUE(su.StartsWith("école", "ÉC"));
  EXPECT_FALSE(su.EndsWith("ÉCOLE", "olé"));
}

}  // namespace
}  // namespace kestrun
