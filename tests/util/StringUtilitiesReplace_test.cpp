#include <gtest/gtest.h>

#include "support/ScriptedWindowSystem.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

TEST(Replace, ReplaceString) {
  testing::ScriptedWindowSystem windows;
  StringUtilities su;
  struct Row {
    const char* text;
    const char* from;
    const char* to;
    bool ignoreCase;
    const char* expected;
    int doEvents;
  } rows[] = {
      {"aXbx", "x", "-", true, "a-b-", 2},
      {"aXbx", "x", "-", false, "aXb-", 0},
      {"aaaa", "aa", "a", false, "aa", 0},        // no overlaps, no rescanning of what was put in
      {"xx", "x", "xx", true, "xxxx", 2},
      {"abc", "", "-", true, "abc", 0},           // nothing to look for
      {"", "a", "b", true, "", 0},
      {"Größe GRÖSSE größe", "gRö", "k", true, "kße kSSE kße", 3},
  };
  for (const Row& r : rows) {
    windows.doEventsCalls = 0;
    EXPECT_EQ(su.ReplaceString(r.text, r.from, r.to, r.ignoreCase), r.expected) << r.text;
    EXPECT_EQ(windows.doEventsCalls, r.doEvents) << r.text;
  }
}

TEST(Replace, ReplaceNthOccurance) {
  StringUtilities su;
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("a.b.c.d", ".", "/", 2), "a.b/c.d");
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("aaa", "aa", "X", 2), "aX");  // occurrences may overlap
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("é.é.é", ".", "·", 2), "é.é·é");
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 5), "a.b");  // too few: unchanged
  EXPECT_EQ(su.ReplaceNthOccuranceOfString("a.b", "", "/", 1), "a.b");
  EXPECT_THROW(su.ReplaceNthOccuranceOfString("a.b", ".", "/", 0), RuntimeError);
}

TEST(Replace, ReplaceStringBetween) {
  StringUtilities su;
  struct Row {
    const char* text;
    const char* first;
    const char* second;
    const char* replacement;
    const char* expected;
  } rows[] = {
      {"a<b>c<d>e", "<", ">", "#", "a#c#e"},
      {"x<!--A-->Y<!--b-->z", "<!--", "-->", "", "xYz"},
      {"Keep BEGIN x end Case", "begin", "END", "-", "Keep - Case"},  // search ignores case, text keeps it
      {"a|b|c", "|", "|", "#", "a#b#c"},                             // equal ends: one occurrence each
      {"a<b<c", "<", ">", "#", "a<b<c"},                              // no closing text: rest unchanged
      {"a<b>c", "", ">", "#", "a<b>c"},
      {"a<b>c", "<", "", "#", "a<b>c"},
      {"<>", "<", ">", "<>", "<>"},                                   // the new text is not searched again
  };
  for (const Row& r : rows) EXPECT_EQ(su.ReplaceStringBetween(r.text, r.first, r.second, r.replacement), r.expected);
}

TEST(Replace, GetTextBetweenSeparators) {
  StringUtilities su;
  struct Row {
    const char* text;
    const char* first;
    const char* end;
    const char* expected;
  } rows[] = {
      {"key=value;", "", "", "key=value;"},
      {"key=value;", "", "=", "key"},
      {"key=value;", "", "#", ""},
      {"key=value;", "=", "", "value;"},
      {"key=value;", "#", "", ""},
      {"key=value;", "#", ";", ""},
      {"key=value;", "=", ";", "value"},
      {"key=value", "=", ";", "value"},            // no end anywhere: the rest
      {"a=b=c;", "=", ";", "b"},                   // only up to the next first separator
      {"a;x=b=c", "=", ";", "b"},                  // end only before: the stretch up to the next first
  };
  for (const Row& r : rows) {
    EXPECT_EQ(su.GetTextBetweenSeparators(r.text, r.first, r.end), r.expected) << r.text << " " << r.first;
  }
}

TEST(Replace, ReplacePartOfKeywordString) {
  StringUtilities su;
  EXPECT_EQ(su.ReplacePartOfKeywordString("Name=John;Age=42;", "*", "Name=*;Age=*;"), "Name=John;Age=42;");
  EXPECT_EQ(su.ReplacePartOfKeywordString("abc", "*", "no keyword"), "");
  EXPECT_EQ(su.ReplacePartOfKeywordString("abc", "", "x*y"), "");
  // Patterns that could keep a careless loop going end.
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("short", "**", "***********"));
  EXPECT_NO_THROW(su.ReplacePartOfKeywordString("", "*", "*\"*\"*"));
}

TEST(Replace, BinaryInStringToHex) {
  StringUtilities su;
  EXPECT_EQ(su.BinaryInStringToHexInString("AB", 0), "41, 42");
  EXPECT_EQ(su.BinaryInStringToHexInString("\x01\xff", 0), "01, FF");
  EXPECT_EQ(su.BinaryInStringToHexInString("", 0), "");
  EXPECT_EQ(su.BinaryInStringToHexInString("AB", 1), "\tszBin=\"\"; szBin[0]=\"65\"; szBin[1]=\"66\";");
  EXPECT_EQ(su.BinaryInStringToHexInString("A", 2), "szBin[0]=\"65\";");
  std::string sixteen(16, 'a');
  std::string out = su.BinaryInStringToHexInString(sixteen, 2);
  EXPECT_NE(out.find("szBin[14]=\"97\"; \r\n\tszBin[15]=\"97\";"), std::string::npos);
}

}  // namespace
}  // namespace kestrun
