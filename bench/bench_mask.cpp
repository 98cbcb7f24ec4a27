// Prints how long MatchesFileMask takes: per file of a folder scan, and for hostile names and masks.
#include <chrono>
#include <cstdio>
#include <string>

#include "util/StringUtilities.h"

using Clock = std::chrono::steady_clock;

namespace {

template <class F>
double NanosecondsPerCall(long calls, F&& f) {
  const auto start = Clock::now();
  for (long i = 0; i < calls; ++i) f(i);
  const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
  return elapsed.count() / static_cast<double>(calls);
}

}  // namespace

int main() {
  kestrun::StringUtilities su;
  volatile bool sink = false;

  const std::string names[] = {"sdat4711.exe", "SDAT4712.EXE", "readme.txt12", "sdat4713.zip"};
  double scan = NanosecondsPerCall(2'000'000, [&](long i) { sink = su.MatchesFileMask(names[i & 3], "sdat*.exe"); });
  std::printf("12-character name against \"sdat*.exe\": %.1f ns per match (target < 300 ns)\n", scan);

  std::string longName(10000, 'a');
  std::string mask;
  while (mask.size() < 198) mask += "*a";
  mask += "*b";  // fails only at the very end, so every star is tried
  double hostile = NanosecondsPerCall(20, [&](long) { sink = su.MatchesFileMask(longName, mask); });
  std::printf("10,000-character name against a %zu-character mask of stars and letters: %.3f ms (target < 10 ms)\n",
              mask.size(), hostile / 1e6);

  std::string mixed;
  for (int i = 0; i < 200; ++i) mixed += (i % 3 == 0) ? '*' : static_cast<char>('a' + i % 7);
  std::string mixedName;
  for (int i = 0; i < 10000; ++i) mixedName += static_cast<char>('a' + (i * 7) % 9);
  double mixedTime = NanosecondsPerCall(20, [&](long) { sink = su.MatchesFileMask(mixedName, mixed); });
  std::printf("10,000-character name against a 200-character mixed mask: %.3f ms\n", mixedTime / 1e6);

  std::string stars(10000, '*');
  double manyStars = NanosecondsPerCall(20, [&](long) { sink = su.MatchesFileMask(longName, stars); });
  std::printf("10,000-character name against 10,000 stars: %.3f ms\n", manyStars / 1e6);
  (void)sink;
  return 0;
}
