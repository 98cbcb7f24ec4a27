#include "util/StringUtilities.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "support/ScriptedWindowSystem.h"
#include "util/RuntimeError.h"

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

// Exact UTF-8: the Unicode standard's well-formed boundaries and its ill-formed examples (overlong forms,
// surrogates, beyond U+10FFFF, stray and cut-short sequences). An ill-formed byte counts as one character
// and is never case-mapped into a letter.
TEST(TextUtf8, TakesOnlyWellFormedSequences) {
  const struct {
    std::string bytes;
    bool valid;
    std::size_t chars;
    char32_t first;  // decoded first character
  } cases[] = {
      {"A", true, 1, U'A'},
      {"\xC2\x80", true, 1, 0x80},
      {"\xDF\xBF", true, 1, 0x7FF},
      {"\xE0\xA0\x80", true, 1, 0x800},
      {"\xED\x9F\xBF", true, 1, 0xD7FF},
      {"\xEE\x80\x80", true, 1, 0xE000},
      {"\xF0\x90\x80\x80", true, 1, 0x10000},
      {"\xF4\x8F\xBF\xBF", true, 1, 0x10FFFF},
      {"\xC0\xAF", false, 2, 0xC0},
      {"\xC1\xA1", false, 2, 0xC1},
      {"\xE0\x80\xAF", false, 3, 0xE0},
      {"\xE0\x9F\xBF", false, 3, 0xE0},
      {"\xF0\x80\x80\xAF", false, 4, 0xF0},
      {"\xF0\x8F\xBF\xBF", false, 4, 0xF0},
      {"\xED\xA0\x80", false, 3, 0xED},
      {"\xED\xBF\xBF", false, 3, 0xED},
      {"\xF4\x90\x80\x80", false, 4, 0xF4},
      {"\xF5\x80\x80\x80", false, 4, 0xF5},
      {"\xFF", false, 1, 0xFF},
      {"\x80", false, 1, 0x80},
      {"\xE1\x80", false, 2, 0xE1},
      {"a\xF1\x80\x80\xE1\x80\xC2"
       "b\x80"
       "c\x80\xBF"
       "d",
       false, 13, U'a'},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    EXPECT_EQ(text::IsValidUtf8(c.bytes), c.valid);
    EXPECT_EQ(text::CharCount(c.bytes), c.chars);
    std::size_t pos = 0;
    EXPECT_EQ(text::NextChar(c.bytes, pos), c.first);
    if (!c.valid && c.first >= 0x80) {
      EXPECT_EQ(text::UCase(c.bytes), c.bytes);
    }
  }
}

TEST(Paths, SplitsFolderNameAndExtension) {
  const struct {
    bool windows;
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
  } cases[] = {
      {true, "", "", "", ""},
      {true, "C:file", "C:", "file", ""},
      {true, "C:\\dir.x\\file", "C:\\dir.x\\", "file", ""},
      {true, "C:\\d\\f.txt:stream", "C:\\d\\", "f.txt:stream", ""},
      {true, "\\\\server\\share\\My File.exe", "\\\\server\\share\\", "My File.exe", "exe"},
      {true, "C:\\Ärger\\Größe.tär", "C:\\Ärger\\", "Größe.tär", "tär"},
      // Linux syntax: "\" and ":" are ordinary characters.
      {false, "/", "/", "", ""},
      {false, "C:file", "", "C:file", ""},
      {false, "a\\b.txt", "", "a\\b.txt", "txt"},
      {false, "../up/x.y:z", "../up/", "x.y:z", "y:z"},
  };
  for (const auto& c : cases) {
    StringUtilities su(c.windows ? PathSyntax::WindowsSyntax() : PathSyntax::PosixSyntax());
    EXPECT_EQ(su.ExtractPath(c.path), c.folder) << c.path;
    EXPECT_EQ(su.ExtractFilename(c.path), c.name) << c.path;
    EXPECT_EQ(su.ExtractExtension(c.path), c.extension) << c.path;
  }
}

TEST(Paths, DriveRemovalAndLeadingStepsOffTheBase) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  StringUtilities posix(PathSyntax::PosixSyntax());
  EXPECT_EQ(win.RemoveDriveFromPath("\\\\server\\share"), "server\\share");
  EXPECT_EQ(win.RemoveDriveFromPath("Ä:\\"), "");  // three characters, though four bytes
  EXPECT_EQ(posix.RemoveDriveFromPath("//x"), "x");

  EXPECT_EQ(win.ResolvePath("..\\..\\data\\x.ini", "C:\\Apps\\Tool"), "C:\\data\\x.ini");
  EXPECT_EQ(win.ResolvePath("data\\..\\x.ini", "C:\\Apps\\Tool"), "data\\..\\x.ini");  // only leading steps
  EXPECT_EQ(win.ResolvePath("..\\..\\..\\..\\x", "C:\\Apps"), "\\x");                  // more steps than folders
  EXPECT_EQ(posix.ResolvePath("../../..", "/opt/kestrun"), "/");
  EXPECT_EQ(posix.ResolvePath("...", "/opt/kestrun"), "...");
}

TEST(Replace, ReplaceStringNeitherRescansNorOverlaps) {
  testing::ScriptedWindowSystem windows;
  StringUtilities su;
  struct Row {
    const char* text;
    const char* from;
    const char* to;
    bool ignoreCase;
    const char* expected;
    int doEvents;  // one pending-message pass per replacement
  } rows[] = {
      {"aXbx", "x", "-", false, "aXb-", 0},
      {"aaaa", "aa", "a", false, "aa", 0},
      {"xx", "x", "xx", true, "xxxx", 2},
      {"abc", "", "-", true, "abc", 0},
      {"Größe GRÖSSE größe", "gRö", "k", true, "kße kSSE kße", 3},
  };
  for (const Row& r : rows) {
    windows.doEventsCalls = 0;
    EXPECT_EQ(su.ReplaceString(r.text, r.from, r.to, r.ignoreCase), r.expected) << r.text;
    EXPECT_EQ(windows.doEventsCalls, r.doEvents) << r.text;
  }
}

TEST(Replace, NthOccurrenceAndBetween) {
  StringUtilities su;
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("aaa", "aa", "X", 2), "aX");  // occurrences may overlap
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("é.é.é", ".", "·", 2), "é.é·é");
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 5), "a.b");
  EXPECT_THROW(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 0), RuntimeError);

  EXPECT_EQ(su.ReplaceStringBetween("Keep BEGIN x end Case", "begin", "END", "-"), "Keep - Case");
  EXPECT_EQ(su.ReplaceStringBetween("a|b|c", "|", "|", "#"), "a#b#c");
  EXPECT_EQ(su.ReplaceStringBetween("a<b<c", "<", ">", "#"), "a<b<c");
  EXPECT_EQ(su.ReplaceStringBetween("<>", "<", ">", "<>"), "<>");  // the new text is not searched again
}

TEST(Replace, GetTextBetweenSeparators) {
  StringUtilities su;
  struct Row {
    const char* text;
    const char* first;
    const char* end;
    const char* expected;
  } rows[] = {
      {"key=value;", "", "=", "key"},   {"key=value;", "#", ";", ""},
      {"key=value", "=", ";", "value"},  // no end anywhere: the rest
      {"a=b=c;", "=", ";", "b"},         // only up to the next first separator
      {"a;x=b=c", "=", ";", "b"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(su.GetTextBetweenSeparators(r.text, r.first, r.end), r.expected) << r.text << " " << r.first;
  }
}

TEST(Replace, KeywordPatternsThatCouldLoopEnd) {
  StringUtilities su;
  EXPECT_EQ(su.ReplacePartOfKeywordString("Name=John;Age=42;", "*", "Name=*;Age=*;"), "Name=John;Age=42;");
  EXPECT_EQ(su.ReplacePartOfKeywordString("abc", "", "x*y"), "");
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("short", "**", "***********"));
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("", "*", "*\"*\"*"));
}

TEST(Replace, BinaryInStringToHex) {
  StringUtilities su;
  EXPECT_EQ(su.BinaryInStringToHexInString("\x01\xff", 0), "01, FF");
  EXPECT_EQ(su.BinaryInStringToHexInString("AB", 1), "\tszBin=\"\"; szBin[0]=\"65\"; szBin[1]=\"66\";");
  EXPECT_NE(su.BinaryInStringToHexInString(std::string(16, 'a'), 2).find("szBin[14]=\"97\"; \r\n\tszBin[15]=\"97\";"),
            std::string::npos);
}

}  // namespace
}  // namespace kestrun
