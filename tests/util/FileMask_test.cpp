#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "support/RaisedError.h"
#include "support/ThreadClock.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

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
