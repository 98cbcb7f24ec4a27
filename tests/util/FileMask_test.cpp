#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/ThreadClock.h"
#include "util/RuntimeError.h"
#include "util/StringUtilities.h"

namespace kestrun {
namespace {

struct MaskCase {
  const char* name;
  const char* mask;
  bool caseSensitive;
  bool expected;
};

class MaskTable : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskTable, Matches) {
  const MaskCase& c = GetParam();
  StringUtilities su;
  EXPECT_EQ(su.MatchesFileMask(c.name, c.mask, c.caseSensitive), c.expected)
      << "name '" << c.name << "' mask '" << c.mask << "' caseSensitive " << c.caseSensitive;
}

INSTANTIATE_TEST_SUITE_P(
    FileMask, MaskTable,
    ::testing::Values(
        MaskCase{"SDAT4711.EXE", "sdat*.exe", false, true}, MaskCase{"SDAT4711.EXE", "sdat*.exe", true, false},
        MaskCase{"sdat.exe.bak", "sdat*.exe", false, false},
        MaskCase{".sdat1.exe.Ab12Cd.part", "sdat*.exe", false, false},
        // Latin-1 letters fold; characters above U+00F6 only match themselves.
        MaskCase{"ÄRGER.TXT", "ärger.txt", false, true}, MaskCase{"Ÿ", "ÿ", false, false},
        MaskCase{"sdatØ1.exe", "sdatø*.exe", false, false}, MaskCase{"sdatø1.exe", "sdatØ*.exe", false, true},
        MaskCase{"Ø", "[ø]", false, false}, MaskCase{"ø", "[Ø]", false, true}, MaskCase{"Ø", "[à-ÿ]", false, false},
        // "?" one whole UTF-8 character, "#" one digit.
        MaskCase{"aé", "a?", false, true}, MaskCase{"a", "a?", false, false},
        MaskCase{"sdat4711.exe", "sdat####.exe", false, true}, MaskCase{"sdat47x1.exe", "sdat####.exe", false, false},
        // Lists, negated lists, ranges, and the list syntax surviving case-insensitive matching.
        MaskCase{"B", "[abc]", false, true}, MaskCase{"B", "[abc]", true, false}, MaskCase{"A", "[!abc]", false, false},
        MaskCase{"M", "[a-z]", false, true}, MaskCase{"-", "[a-]", true, true}, MaskCase{"b", "[-a]", true, false},
        MaskCase{"[", "[[]", false, true}, MaskCase{"!", "[!]", false, true}, MaskCase{"ab", "a[]b", false, true},
        // Stars: empty runs, several stars, backtracking past a false start.
        MaskCase{"", "*", false, true}, MaskCase{"a", "", false, false}, MaskCase{"abcabd", "*abd", false, true},
        MaskCase{"aXbXd", "a*b*c", true, false}, MaskCase{"ab", "*.*", false, false},
        // Names that are not UTF-8: a stray byte is one character.
        MaskCase{"sdat\xff\xfe.exe", "sdat*.exe", false, true}, MaskCase{"\xc3", "??", false, false}));

TEST(FileMask, BrokenMasksRaiseInvalidPattern) {
  StringUtilities su;
  for (const char* mask : {"[", "sdat[0-9", "[!", "[z-a]", "[9-0]*", "a[b"}) {
    for (bool cs : {false, true}) {
      try {
        su.MatchesFileMask("anything", mask, cs);
        ADD_FAILURE() << "no error for mask '" << mask << "'";
      } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), err::InvalidPattern) << mask;
        EXPECT_STREQ(e.what(), "Invalid pattern string");
      }
    }
  }
  // A broken mask must not leave a compiled mask behind that a later call would reuse.
  EXPECT_THROW(su.MatchesFileMask("a", "[a", false), RuntimeError);
  EXPECT_THROW(su.MatchesFileMask("a", "[a", false), RuntimeError);
}

// Hostile masks and long names neither blow up nor slow down out of proportion: eight times the name
// may take at most thirty times as long (quadratic work would take sixty-four).
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
