#include "util/StringUtilities.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "platform/Text.h"
#include "support/RaisedError.h"
#include "support/ScriptedWindowSystem.h"
#include "support/ThreadClock.h"

namespace kestrun {
namespace {

TEST(StringUtilitiesFields, CountsAndFieldsAgreeWithOnePassSplit) {
  // text, separator, keep quoted stretches, fields 1..GetPosNum
  // clang-format off
  const std::tuple<std::string, std::string, bool, std::vector<std::string>> cases[] = {
      {"", ",", false, {""}}, {"a,b,,", ",", false, {"a", "b", "", ""}}, {"a  b", " ", false, {"a", "", "b"}},
      {"a\r\nb\r\n", "\r\n", false, {"a", "b", ""}}, {"a::b", "::", false, {"a", "b"}},
      // A quoted stretch keeps its separators; an unclosed quote protects nothing.
      {"/a:\"x y\" /b", " ", true, {"/a:\"x y\"", "/b"}}, {"/a:\"x y\" /b", " ", false, {"/a:\"x", "y\"", "/b"}},
      {"a \"b c", " ", true, {"a", "\"b", "c"}}};
  // clang-format on
  StringUtilities su;
  for (const auto& [text, sep, keepQuoted, fields] : cases) {
    SCOPED_TRACE(text);
    ASSERT_EQ(su.GetPosNum(text, sep, keepQuoted), static_cast<int32_t>(fields.size()));
    for (std::size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(su.GetPosSep(text, sep, static_cast<int32_t>(i + 1), keepQuoted), fields[i]) << i + 1;
    }
    EXPECT_EQ(su.SplitFields(text, sep, keepQuoted), fields);
  }
  EXPECT_EQ(su.GetPosSep("a,b", ",", 5), "");
  EXPECT_EQ(su.GetPosSep("a,b", ",", -3), "");
  EXPECT_EQ(su.GetPosSep("Xab", "x", 1), "");  // the begins-with test of the first field ignores case
  EXPECT_EQ(su.GetSepPos("aaa", "aa", 2), 2);  // overlapping occurrences
  EXPECT_EQ(su.GetSepPos("äb,c", ",", 1), 3);  // characters, not bytes
  EXPECT_EQ(su.SplitFields(std::string(200000, ' '), " ", true).size(), 200001u);
  EXPECT_EQ(su.SplitFields(std::string(100000, '"') + " a", " ", true).size(), 2u);
}

TEST(StringUtilitiesTrim, RemovesTheWholeTrimTextAsOftenAsItStands) {
  // text, trim text, ignore case, right-trimmed, left-trimmed
  // clang-format off
  const std::tuple<std::string, std::string, bool, std::string, std::string> cases[] = {
      {"abcxyxy", "xy", false, "abc", "abcxyxy"}, {"ABab", "ab", false, "AB", "ABab"}, {"XxY", "x", true, "XxY", "Y"},
      {"ÄäB", "ä", true, "ÄäB", "B"},  // case mapping covers Latin-1 and keeps the text's own case
      {"ab", "", false, "ab", "ab"}, {"\r\n\r\nline\r\n\r\n", "\r\n", false, "\r\n\r\nline", "line\r\n\r\n"}};
  // clang-format on
  StringUtilities su;
  for (const auto& [text, trim, ignoreCase, right, left] : cases) {
    SCOPED_TRACE(text + " / " + trim);
    EXPECT_EQ(su.RTrimText(text, trim, ignoreCase), right);
    EXPECT_EQ(su.LTrimText(text, trim, ignoreCase), left);
  }
  EXPECT_EQ(su.TrimText("\"\"x\"", "\""), "x");
}

TEST(StringUtilitiesAffixes, PathEndingFollowsTheSyntaxAndStartsEndsIgnoreCase) {
  StringUtilities win(PathSyntax::WindowsSyntax());
  EXPECT_EQ(win.CheckPathEnding("C:\\"), "C:\\");
  EXPECT_EQ(win.CheckPathEnding("C:\\dir"), "C:\\dir\\");
  EXPECT_EQ(win.RemovePathEnding("C:\\dir\\\\"), "C:\\dir");
  StringUtilities posix(PathSyntax::PosixSyntax());
  EXPECT_EQ(posix.CheckPathEnding(""), "/");
  EXPECT_EQ(posix.CheckPathEnding("C:\\dir"), "C:\\dir/");  // a backslash is an ordinary character here
  EXPECT_FALSE(posix.StartsWith("Ab", "abc"));
  EXPECT_TRUE(posix.EndsWith("école", "OLE"));
  EXPECT_TRUE(posix.StartsWith("école", "ÉC"));
  EXPECT_FALSE(posix.EndsWith("ÉCOLE", "olé"));
}

// Well-formed UTF-8 boundaries and ill-formed bytes; an ill-formed byte is one character, never case-mapped.
TEST(TextUtf8, TakesOnlyWellFormedSequences) {
  // bytes, valid, characters, the first character decoded
  // clang-format off
  const std::tuple<std::string, bool, std::size_t, char32_t> cases[] = {
      {"A", true, 1, U'A'}, {"\xC2\x80", true, 1, 0x80}, {"\xDF\xBF", true, 1, 0x7FF}, {"\xE0\xA0\x80", true, 1, 0x800},
      {"\xED\x9F\xBF", true, 1, 0xD7FF}, {"\xEE\x80\x80", true, 1, 0xE000}, {"\xF0\x90\x80\x80", true, 1, 0x10000},
      {"\xF4\x8F\xBF\xBF", true, 1, 0x10FFFF},
      // Overlong forms, a surrogate, beyond U+10FFFF, bytes that lead nothing, a cut-short sequence.
      {"\xC1\xA1", false, 2, 0xC1}, {"\xE0\x9F\xBF", false, 3, 0xE0}, {"\xF0\x8F\xBF\xBF", false, 4, 0xF0},
      {"\xED\xA0\x80", false, 3, 0xED}, {"\xF4\x90\x80\x80", false, 4, 0xF4}, {"\xF5\x80\x80\x80", false, 4, 0xF5},
      {"\xFF", false, 1, 0xFF}, {"\x80", false, 1, 0x80}, {"\xE1\x80", false, 2, 0xE1},
      {"a\xF1\x80\x80\xE1\x80\xC2" "b\x80" "c\x80\xBF" "d", false, 13, U'a'}};
  // clang-format on
  for (const auto& [bytes, valid, chars, first] : cases) {
    SCOPED_TRACE(::testing::PrintToString(bytes));
    EXPECT_EQ(text::IsValidUtf8(bytes), valid);
    EXPECT_EQ(text::CharCount(bytes), chars);
    std::size_t pos = 0;
    EXPECT_EQ(text::NextChar(bytes, pos), first);
    EXPECT_TRUE(valid || first < 0x80 || text::UCase(bytes) == bytes) << text::UCase(bytes);
  }
}

TEST(Paths, SplitsFolderNameAndExtension) {
  // Windows syntax, path, folder, name, extension
  // clang-format off
  const std::tuple<bool, std::string, std::string, std::string, std::string> cases[] = {
      {true, "", "", "", ""}, {true, "C:file", "C:", "file", ""}, {true, "C:\\dir.x\\file", "C:\\dir.x\\", "file", ""},
      {true, "C:\\d\\f.txt:stream", "C:\\d\\", "f.txt:stream", ""},
      {true, "\\\\server\\share\\My File.exe", "\\\\server\\share\\", "My File.exe", "exe"},
      {true, "C:\\Ärger\\Größe.tär", "C:\\Ärger\\", "Größe.tär", "tär"},
      // Linux syntax: "\" and ":" are ordinary characters.
      {false, "/", "/", "", ""}, {false, "C:file", "", "C:file", ""}, {false, "a\\b.txt", "", "a\\b.txt", "txt"},
      {false, "../up/x.y:z", "../up/", "x.y:z", "y:z"}};
  // clang-format on
  for (const auto& [windows, path, folder, name, extension] : cases) {
    SCOPED_TRACE(path);
    StringUtilities su(windows ? PathSyntax::WindowsSyntax() : PathSyntax::PosixSyntax());
    EXPECT_EQ(su.ExtractPath(path), folder);
    EXPECT_EQ(su.ExtractFilename(path), name);
    EXPECT_EQ(su.ExtractExtension(path), extension);
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
  // text, from, to, ignore case, result, pending-message passes (one per replacement)
  // clang-format off
  const std::tuple<std::string, std::string, std::string, bool, std::string, int> rows[] = {
      {"aXbx", "x", "-", false, "aXb-", 0}, {"aaaa", "aa", "a", false, "aa", 0}, {"xx", "x", "xx", true, "xxxx", 2},
      {"abc", "", "-", true, "abc", 0}, {"Größe GRÖSSE größe", "gRö", "k", true, "kße kSSE kße", 3}};
  // clang-format on
  for (const auto& [text, from, to, ignoreCase, expected, doEvents] : rows) {
    SCOPED_TRACE(text);
    windows.doEventsCalls = 0;
    EXPECT_EQ(su.ReplaceString(text, from, to, ignoreCase), expected);
    EXPECT_EQ(windows.doEventsCalls, doEvents);
  }
}

TEST(Replace, NthOccurrenceBetweenKeywordsAndHex) {
  StringUtilities su;
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("aaa", "aa", "X", 2), "aX");  // occurrences may overlap
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("é.é.é", ".", "·", 2), "é.é·é");
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 5), "a.b");
  EXPECT_THROW(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 0), RuntimeError);
  EXPECT_EQ(su.ReplaceStringBetween("Keep BEGIN x end Case", "begin", "END", "-"), "Keep - Case");
  EXPECT_EQ(su.ReplaceStringBetween("a|b|c", "|", "|", "#"), "a#b#c");
  EXPECT_EQ(su.ReplaceStringBetween("a<b<c", "<", ">", "#"), "a<b<c");
  EXPECT_EQ(su.ReplaceStringBetween("<>", "<", ">", "<>"), "<>");  // the new text is not searched again
  // Keyword patterns that could loop end.
  EXPECT_EQ(su.ReplacePartOfKeywordString("Name=John;Age=42;", "*", "Name=*;Age=*;"), "Name=John;Age=42;");
  EXPECT_EQ(su.ReplacePartOfKeywordString("abc", "", "x*y"), "");
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("short", "**", "***********"));
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("", "*", "*\"*\"*"));
  EXPECT_EQ(su.BinaryInStringToHexInString("\x01\xff", 0), "01, FF");
  EXPECT_EQ(su.BinaryInStringToHexInString("AB", 1), "\tszBin=\"\"; szBin[0]=\"65\"; szBin[1]=\"66\";");
  EXPECT_NE(su.BinaryInStringToHexInString(std::string(16, 'a'), 2).find("szBin[14]=\"97\"; \r\n\tszBin[15]=\"97\";"),
            std::string::npos);
}

TEST(Replace, GetTextBetweenSeparators) {
  StringUtilities su;
  // text, first separator, end separator, the text between
  // clang-format off
  const std::tuple<std::string, std::string, std::string, std::string> rows[] = {
      {"key=value;", "", "=", "key"}, {"key=value;", "#", ";", ""},
      {"key=value", "=", ";", "value"},  // no end anywhere: the rest
      {"a=b=c;", "=", ";", "b"}, {"a;x=b=c", "=", ";", "b"}};  // only up to the next first separator
  // clang-format on
  for (const auto& [text, first, end, expected] : rows)
    EXPECT_EQ(su.GetTextBetweenSeparators(text, first, end), expected) << text;
}

TEST(FileMask, MatchesNamesAsTheMaskSyntaxSays) {
  // name, mask, case-sensitive, matches
  // clang-format off
  const std::tuple<std::string, std::string, bool, bool> rows[] = {
      {"SDAT4711.EXE", "sdat*.exe", false, true}, {"SDAT4711.EXE", "sdat*.exe", true, false},
      {"sdat.exe.bak", "sdat*.exe", false, false}, {".sdat1.exe.Ab12Cd.part", "sdat*.exe", false, false},
      // Latin-1 letters fold; characters above U+00F6 only match themselves.
      {"ÄRGER.TXT", "ärger.txt", false, true}, {"Ÿ", "ÿ", false, false},
      {"sdatØ1.exe", "sdatø*.exe", false, false}, {"sdatø1.exe", "sdatØ*.exe", false, true},
      {"Ø", "[ø]", false, false}, {"ø", "[Ø]", false, true}, {"Ø", "[à-ÿ]", false, false},
      // "?" one whole UTF-8 character, "#" one digit.
      {"aé", "a?", false, true}, {"a", "a?", false, false},
      {"sdat4711.exe", "sdat####.exe", false, true}, {"sdat47x1.exe", "sdat####.exe", false, false},
      // Lists, negated lists, ranges, and the list syntax surviving case-insensitive matching.
      {"B", "[abc]", false, true}, {"B", "[abc]", true, false}, {"A", "[!abc]", false, false},
      {"M", "[a-z]", false, true}, {"-", "[a-]", true, true}, {"b", "[-a]", true, false},
      {"[", "[[]", false, true}, {"!", "[!]", false, true}, {"ab", "a[]b", false, true},
      // Stars: empty runs, several stars, backtracking past a false start.
      {"", "*", false, true}, {"a", "", false, false}, {"abcabd", "*abd", false, true},
      {"aXbXd", "a*b*c", true, false}, {"ab", "*.*", false, false},
      // Names that are not UTF-8: a stray byte is one character.
      {"sdat\xff\xfe.exe", "sdat*.exe", false, true}, {"\xc3", "??", false, false}};
  // clang-format on
  StringUtilities su;
  for (const auto& [name, mask, caseSensitive, matches] : rows) {
    EXPECT_EQ(su.MatchesFileMask(name, mask, caseSensitive), matches) << name << " ~ " << mask << " " << caseSensitive;
  }
}

TEST(FileMask, BrokenMasksRaiseInvalidPattern) {
  StringUtilities su;
  for (const char* mask : {"[", "sdat[0-9", "[!", "[z-a]", "[9-0]*", "a[b"}) {
    for (bool cs : {false, false, true}) {  // the second call would meet a mask the first left compiled
      EXPECT_EQ(testing::ErrorOf([&] { su.MatchesFileMask("anything", mask, cs); }), err::InvalidPattern) << mask;
    }
  }
  try {
    su.MatchesFileMask("a", "[", false);
  } catch (const RuntimeError& e) {
    EXPECT_STREQ(e.what(), "Invalid pattern string");
  }
}

// Eight times the name may take at most thirty times the processor time (quadratic work would take 64).
TEST(FileMask, HostileMasksAndNamesStayLinear) {
  StringUtilities su;
  std::string starsAndA;
  for (int i = 0; i < 100; ++i) starsAndA += "*a";
  double seconds[2] = {1e9, 1e9};  // the best of three
  for (int i = 0; i < 6; ++i) {
    const std::size_t n = i < 3 ? 5'000 : 40'000;
    const std::string name(n, 'a');
    const double start = testing::ThreadSeconds();
    EXPECT_TRUE(su.MatchesFileMask(name, std::string(n / 10, '*'), false));
    EXPECT_FALSE(su.MatchesFileMask(name, starsAndA + "*b", false));  // every star could move
    EXPECT_TRUE(su.MatchesFileMask(name + "b", starsAndA + "*b", false));
    EXPECT_FALSE(su.MatchesFileMask(name, std::string(n + 1, '?'), false));
    seconds[i / 3] = std::min(seconds[i / 3], testing::ThreadSeconds() - start);
  }
  EXPECT_LT(seconds[1], 30 * seconds[0] + 0.001) << seconds[0] << " s, then " << seconds[1];
}

}  // namespace
}  // namespace kestrun
