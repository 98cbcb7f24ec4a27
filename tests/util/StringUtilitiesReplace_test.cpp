#include <gtest/gtest.h>

#include "support/ScriptedWindowSystem.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

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
      {"key=value;", "", "=", "key"},
      {"key=value;", "#", ";", ""},
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
