#include "util/StringUtilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrun {
namespace {

struct FieldCase {
  std::string text;
  std::string sep;
  bool keep;
  std::vector<std::string> fields;  // fields 1..GetPosNum
};

TEST(StringUtilitiesFields, CountsAndFieldsAgreeWithOnePassSplit) {
  const std::vector<FieldCase> cases = {
      {"", ",", false, {""}},
      {"a,b,,", ",", false, {"a", "b", "", ""}},
      {",a", ",", false, {"", "a"}},
      {"abc", ",", false, {"abc"}},
      {"a  b", " ", false, {"a", "", "b"}},
      {"a\r\nb\r\n", "\r\n", false, {"a", "b", ""}},
      // A quoted stretch keeps its separators; an unclosed quote protects nothing.
      {"/a:\"x y\" /b", " ", true, {"/a:\"x y\"", "/b"}},
      {"/a:\"x y\" /b", " ", false, {"/a:\"x", "y\"", "/b"}},
      {"\"C:\\My Files\" x", " ", true, {"\"C:\\My Files\"", "x"}},
      {"a \"b c", " ", true, {"a", "\"b", "c"}},
      {"a::b", "::", false, {"a", "b"}},
  };
  StringUtilities su;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_EQ(su.GetPosNum(c.text, c.sep, c.keep), static_cast<int32_t>(c.fields.size()));
    for (std::size_t i = 0; i < c.fields.size(); ++i) {
      EXPECT_EQ(su.GetPosSep(c.text, c.sep, static_cast<int32_t>(i + 1), c.keep), c.fields[i]) << "field " << i + 1;
    }
    EXPECT_EQ(su.SplitFields(c.text, c.sep, c.keep), c.fields);
  }
}

TEST(StringUtilitiesFields, FieldOutsideTheTextIsEmpty) {
  StringUtilities su;
  EXPECT_EQ(su.GetPosSep("a,b", ",", 5), "");
  EXPECT_EQ(su.GetPosSep("a,b", ",", 0), "");
  EXPECT_EQ(su.GetPosSep("a,b", ",", -3), "");
  // The begins-with test of the first field ignores case.
  EXPECT_EQ(su.GetPosSep("Xab", "x", 1), "");
}

TEST(StringUtilitiesFields, SepPosCountsCharactersAndOverlaps) {
  StringUtilities su;
  EXPECT_EQ(su.GetSepPos("aaa", "aa", 2), 2);
  EXPECT_EQ(su.GetSepPos("a,b,c", ",", 2), 4);
  EXPECT_EQ(su.GetSepPos("äb,c", ",", 1), 3);  // characters, not bytes
  EXPECT_EQ(su.GetSepPos("a,b", ",", 2), 0);   // fewer occurrences than asked
  EXPECT_EQ(su.GetSepPos("", ",", 1), 0);
  EXPECT_EQ(su.GetSepPos("a,b", ",", 0), 0);
}

struct TrimCase {
  std::string text;
  std::string trim;
  bool ignoreCase;
  std::string right;
  std::string left;
};

TEST(StringUtilitiesTrim, RemovesTheWholeTrimTextAsOftenAsItStands) {
  const std::vector<TrimCase> cases = {
      {"abcxyxy", "xy", false, "abc", "abcxyxy"},
      {"name\\\\\\", "\\", false, "name", "name\\\\\\"},
      {"ABab", "ab", true, "", ""},
      {"ABab", "ab", false, "AB", "ABab"},
      {"xxy", "x", false, "xxy", "y"},
      {"XxY", "x", true, "XxY", "Y"},
      {"ÄäB", "ä", true, "ÄäB", "B"},  // case mapping covers Latin-1 and keeps the text's own case
      {"ab", "", false, "ab", "ab"},
      {"a", "ab", false, "a", "a"},
      {"\r\n\r\nline\r\n\r\n", "\r\n", false, "\r\n\r\nline", "line\r\n\r\n"},
  };
  StringUtilities su;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text + " / " + c.trim);
    EXPECT_EQ(su.RTrimText(c.text, c.trim, c.ignoreCase), c.right);
    EXPECT_EQ(su.LTrimText(c.text, c.trim, c.ignoreCase), c.left);
  }
  EXPECT_EQ(su.TrimText("  a b  ", " "), "a b");
  EXPECT_EQ(su.TrimText("\"\"x\"", "\""), "x");
}

TEST(StringUtilitiesPathEnding, FollowsThePathSyntax) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  EXPECT_EQ(win.CheckPathEnding(""), "\\");
  EXPECT_EQ(win.CheckPathEnding("C:\\"), "C:\\");
  EXPECT_EQ(win.CheckPathEnding("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(win.RemovePathEnding("C:\\"), "C:");
  EXPECT_EQ(win.RemovePathEnding("C:\\dir\\\\"), "C:\\dir");

  StringUtilities posix(PathSyntax::PosixSyntax());
  EXPECT_EQ(posix.CheckPathEnding(""), "/");
  EXPECT_EQ(posix.CheckPathEnding("/srv/pkgs"), "/srv/pkgs/");
  EXPECT_EQ(posix.CheckPathEnding("/srv/pkgs/"), "/srv/pkgs/");
  EXPECT_EQ(posix.CheckPathEnding("C:\\dir"), "C:\\dir/");  // a backslash is an ordinary character here
  EXPECT_EQ(posix.RemovePathEnding("/srv/pkgs//"), "/srv/pkgs");
}

TEST(StringUtilitiesTests, StartsAndEndsWithIgnoreCase) {
  StringUtilities su;
  EXPECT_TRUE(su.StartsWith("Abc", "aB"));
  EXPECT_TRUE(su.StartsWith("Abc", ""));
  EXPECT_FALSE(su.StartsWith("Ab", "abc"));
  EXPECT_TRUE(su.EndsWith("setup.EXE", ".exe"));
  EXPECT_TRUE(su.EndsWith("ÉCOLE", "olé") == false);
  EXPECT_TRUE(su.EndsWith("école", "OLE"));
  EXPECT_TRUE(su.StartsWith("école", "ÉC"));
}

TEST(StringUtilitiesFields, LongInputsSplitInOnePass) {
  // A hundred thousand separators must not take quadratic time through the one-pass split.
  StringUtilities su;
  std::string text(200000, ' ');
  EXPECT_EQ(su.SplitFields(text, " ", true).size(), 200001u);
  std::string quotes(100000, '"');
  EXPECT_EQ(su.SplitFields(quotes + " a", " ", true).size(), 2u);
}

}  // namespace
}  // namespace kestrun
