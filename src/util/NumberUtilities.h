#pragma once
#include <cstdint>
#include <string>

namespace kestrun {

// Stateless number helpers. Byte strings hold one digit per byte, the first byte the most significant.
class NumberUtilities {
 public:
  int32_t Max(int32_t lng1, int32_t lng2) const;
  int32_t Min(int32_t lng1, int32_t lng2) const;

  // Lenient reading of a number that may use "," as its decimal point: blanks, tabs and line feeds
  // anywhere are ignored, the leading number is read ("&H" hexadecimal and "&O" octal too), and a text
  // without one gives 0. Every comma counts as a point, so "1,234.5" reads as 1.234.
  double fVal(const std::string& strText) const;

  // Big-endian base-256 digits to a 32-bit integer; four bytes fill all 32 bits (a first byte of 128 or
  // more gives a negative number), fewer give a positive number, more raise err::Overflow.
  int32_t ByteStringToLong(const std::string& strString) const;
  // The digits of `lngNumber` in base 2^lngBits, padded in front with NULs to `lngLength` bytes.
  // Zero and negative numbers give only the padding. A digit above 255, or lngBits below 1, raises
  // err::InvalidProcedureCall.
  std::string LongToByteString(int32_t lngNumber, int32_t lngLength, int32_t lngBits) const;
  // Base-128 digits, each byte's whole value added (its top bit is not removed); err::Overflow beyond
  // the 32-bit range.
  int32_t SevenBitByteStringToLong(const std::string& strString) const;
};

// The leading decimal number of a text, as VB's Val reads it for the settings: leading blanks, tabs and
// line feeds are skipped, then an optional sign, digits with at most one ".", and an optional exponent
// (E or D) are read up to the first character that cannot continue them. No number gives 0; a number
// too large for a double raises err::Overflow.
double Val(const std::string& strText);

// The nearest 32-bit integer, a value exactly halfway going to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Raises err::Overflow outside the 32-bit range (and for a NaN).
int32_t RoundHalfEven(double value);

}  // namespace kestrun
