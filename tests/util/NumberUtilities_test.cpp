#include "util/NumberUtilities.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "util/RuntimeError.h"

namespace kestrun {
namespace {

using namespace std::string_literals;

// Runs `f`; the error number it raises, or 0.
template <typename F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

TEST(NumberUtilities, MaxAndMin) {
  NumberUtilities nu;
  EXPECT_EQ(nu.Max(3, 3), 3);
  EXPECT_EQ(nu.Min(3, 3), 3);
  EXPECT_EQ(nu.Max(-5, 2), 2);
  EXPECT_EQ(nu.Min(-5, 2), -5);
  EXPECT_EQ(nu.Max(INT32_MIN, INT32_MAX), INT32_MAX);
}

TEST(NumberUtilities, FValReadsLeniently) {
  NumberUtilities nu;
  struct Row {
    std::string text;
    double value;
  };
  for (const Row& r : std::vector<Row>{
           {"3,5", 3.5},
           {" 12 abc", 12},
           {"abc", 0},
           {"", 0},
           {"1,234.5", 1.234},
           {"1 2\t3\n4", 1234},
           {"-2.5e2", -250},
           {"+7", 7},
           {"1D3", 1000},
           {"1e", 1},
           {"1e+", 1},
           {".5", 0.5},
           {"5.", 5},
           {"-", 0},
           {"&HFF", 255},
           {"&hff", 255},
           {"&HFFFF", 65535},
           {"&O17", 15},
           {"&H", 0},
           {"&Hxyz", 0},
           {"1e-400", 0},
           {std::string(400, '0') + "1", 1},
       }) {
    EXPECT_DOUBLE_EQ(nu.fVal(r.text), r.value) << r.text;
  }
  EXPECT_EQ(ErrorOf([&] { nu.fVal("1e400"); }), err::Overflow);
  EXPECT_EQ(ErrorOf([&] { nu.fVal(std::string(400, '9')); }), err::Overflow);
}

TEST(NumberUtilities, ByteStrings) {
  NumberUtilities nu;
  EXPECT_EQ(nu.ByteStringToLong("\xff\xff\xff\xff"), -1);
  EXPECT_EQ(nu.ByteStringToLong("A"), 65);
  EXPECT_EQ(nu.ByteStringToLong("\1\0"s), 256);
  EXPECT_EQ(nu.ByteStringToLong("\x80\0\0\0"s), INT32_MIN);
  EXPECT_EQ(nu.ByteStringToLong("\xff\xff"), 65535);
  EXPECT_EQ(nu.ByteStringToLong(""), 0);
  EXPECT_EQ(ErrorOf([&] { nu.ByteStringToLong("\0\0\0\0\1"s); }), err::Overflow);

  EXPECT_EQ(nu.LongToByteString(200, 0, 8), "\xc8");
  EXPECT_EQ(nu.LongToByteString(65535, 3, 8), "\0\xff\xff"s);
  EXPECT_EQ(nu.LongToByteString(256, 4, 8), "\0\0\1\0"s);
  EXPECT_EQ(nu.LongToByteString(0, 2, 8), "\0\0"s);
  EXPECT_EQ(nu.LongToByteString(-5, 0, 8), "");
  EXPECT_EQ(nu.LongToByteString(129, 0, 7), "\1\1"s);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(INT32_MAX, 0, 31); }), err::InvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(300, 0, 9); }), err::InvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(5, 0, 0); }), err::InvalidProcedureCall);
  EXPECT_EQ(ErrorOf([&] { nu.LongToByteString(5, 1 << 30, 8); }), err::Overflow);

  EXPECT_EQ(nu.SevenBitByteStringToLong(""), 0);
  EXPECT_EQ(nu.SevenBitByteStringToLong("\1\0"s), 128);
  EXPECT_EQ(nu.SevenBitByteStringToLong("\1\1"), 129);
  EXPECT_EQ(nu.SevenBitByteStringToLong("\x81"), 129);  // the top bit is not removed
  EXPECT_EQ(nu.SevenBitByteStringToLong("\x07\x7f\x7f\x7f\x7f"), INT32_MAX);
  EXPECT_EQ(ErrorOf([&] { nu.SevenBitByteStringToLong("\x08\0\0\0\0"s); }), err::Overflow);
  EXPECT_EQ(ErrorOf([&] { nu.SevenBitByteStringToLong(std::string(40000, '\0')); }), err::Overflow);
}

TEST(NumberUtilities, ValThenRoundHalfEvenAsTheDriverReadsSDATsToKeep) {
  struct Row {
    std::string text;
    int32_t kept;
  };
  for (const Row& r : std::vector<Row>{{"3 copies", 3},
                                       {"2.5", 2},
                                       {"3.5", 4},
                                       {"", 0},
                                       {"0", 0},
                                       {"copies", 0},
                                       {"  7", 7},
                                       {"-2.5", -2},
                                       {"-3.5", -4},
                                       {"0.5", 0},
                                       {"1.5", 2},
                                       {"2.4999", 2},
                                       {"1e1", 10},
                                       {"3 5", 3},
                                       {"3,5", 3},
                                       {"&H10", 0}}) {
    EXPECT_EQ(RoundHalfEven(Val(r.text)), r.kept) << r.text;
  }
  EXPECT_EQ(RoundHalfEven(2147483647.4), INT32_MAX);
  EXPECT_EQ(RoundHalfEven(-2147483648.5), INT32_MIN);
  for (double bad : {2147483647.5, 3e9, -3e9, std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(ErrorOf([&] { RoundHalfEven(bad); }), err::Overflow) << bad;
  }
  EXPECT_EQ(ErrorOf([&] { Val("9e999"); }), err::Overflow);
}

}  // namespace
}  // namespace kestrun
