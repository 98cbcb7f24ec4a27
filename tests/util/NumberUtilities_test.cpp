#include "util/NumberUtilities.h"

#include <gtest/gtest.h>

#include <limits>

#include "support/RaisedError.h"

namespace kestrun {
namespace {

using namespace std::string_literals;
using testing::ErrorOf;

TEST(NumberUtilities, FValReadsLenientlyAndOverflowsOnlyPastDouble) {
  NumberUtilities nu;
  const std::pair<std::string, double> rows[] = {
      {"3,5", 3.5},        {" 12 abc", 12}, {"abc", 0},    {"1,234.5", 1.234},
      {"1 2\t3\n4", 1234}, {"1D3", 1000},   {"1e+", 1},    {"&hff", 255},
      {"&O17", 15},        {"&Hxyz", 0},    {"1e-400", 0}, {std::string(400, '0') + "1", 1},
  };
  for (const auto& [text, value] : rows) EXPECT_DOUBLE_EQ(nu.fVal(text), value) << text;
  EXPECT_EQ(ErrorOf([&] { nu.fVal("1e400"); }), err::Overflow);
  EXPECT_EQ(ErrorOf([&] { nu.fVal(std::string(400, '9')); }), err::Overflow);
}

TEST(NumberUtilities, ByteStringsAtTheirLimits) {
  NumberUtilities nu;
  EXPECT_EQ(nu.ByteStringToLong("\xff\xff\xff\xff"), -1);
  EXPECT_EQ(nu.ByteStringToLong("\x80\0\0\0"s), INT32_MIN);
  EXPECT_EQ(ErrorOf([&] { nu.ByteStringToLong("\0\0\0\0\1"s); }), err::Overflow);
  EXPECT_EQ(nu.LongToByteString(65535, 3, 8), "\0\xff\xff"s);
  EXPECT_EQ(nu.LongToByteString(129, 0, 7), "\1\1"s);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(300, 0, 9); }), err::InvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(5, 1 << 30, 8); }), err::Overflow);
  EXPECT_EQ(nu.SevenBitByteStringToLong("\x07\x7f\x7f\x7f\x7f"), INT32_MAX);
  EXPECT_EQ(ErrorOf([&] { nu.SevenBitByteStringToLong("\x08\0\0\0\0"s); }), err::Overflow);
  EXPECT_EQ(ErrorOf([&] { nu.SevenBitByteStringToLong(std::string(40000, '\0')); }), err::Overflow);
}

// How SDATsToKeep is read: Val, then banker's rounding to a 32-bit number.
TEST(NumberUtilities, ValThenRoundHalfEven) {
  const std::pair<std::string, int32_t> rows[] = {
      {"3 copies", 3}, {"2.5", 2},  {"3.5", 4}, {"", 0},    {"-2.5", -2},
      {"-3.5", -4},    {"1e1", 10}, {"3 5", 3}, {"3,5", 3}, {"&H10", 0},
  };
  for (const auto& [text, kept] : rows) EXPECT_EQ(RoundHalfEven(Val(text)), kept) << text;
  EXPECT_EQ(RoundHalfEven(2147483647.4), INT32_MAX);
  EXPECT_EQ(RoundHalfEven(-2147483648.5), INT32_MIN);
  for (double bad :
       {2147483647.5, -3e9, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(ErrorOf([&] { RoundHalfEven(bad); }), err::Overflow) << bad;
  }
  EXPECT_EQ(ErrorOf([&] { Val("9e999"); }), err::Overflow);
}

}  // namespace
}  // namespace kestrun
