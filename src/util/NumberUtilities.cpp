#include "util/NumberUtilities.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

#include "platform/Text.h"
#include "util/RuntimeError.h"

namespace kestrun {

namespace {

// The three byte-string conversions count characters in a 16-bit integer.
constexpr std::size_t MaxByteStringLength = 32767;

using text::IsDigit;

int RadixDigit(char c, int radix) {
  const int d = text::HexDigitValue(c);
  return d < radix ? d : -1;
}

// "&H1F" or "&O17" at the front of `s`: the value of the digits that follow (none gives 0).
double ReadRadixNumber(std::string_view s, int radix) {
  double value = 0;
  for (std::size_t i = 2; i < s.size(); ++i) {
    int d = RadixDigit(s[i], radix);
    if (d < 0) break;
    value = value * radix + d;
    if (std::isinf(value)) Raise(err::Overflow);
  }
  return value;
}

// The leading decimal number of `s` (which starts right at it): sign, digits with at most one ".",
// exponent with E or D. 0 when there is no digit before the exponent.
double ReadLeadingDecimal(std::string_view s) {
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::size_t intStart = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  std::string_view intDigits = s.substr(intStart, i - intStart);
  std::string_view fracDigits;
  if (i < s.size() && s[i] == '.') {
    std::size_t fracStart = ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    fracDigits = s.substr(fracStart, i - fracStart);
  }
  if (intDigits.empty() && fracDigits.empty()) return 0;

  bool expNegative = false;
  std::string_view expDigits;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    std::size_t j = i + 1;
    bool minus = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) minus = s[j++] == '-';
    std::size_t expStart = j;
    while (j < s.size() && IsDigit(s[j])) ++j;
    if (j > expStart) {
      expNegative = minus;
      expDigits = s.substr(expStart, j - expStart);
    }
  }
  // Beyond nine digits the exponent only says "huge" or "tiny"; keep it small enough to add safely.
  std::int64_t exponent = 0;
  std::size_t firstExpDigit = std::min(expDigits.find_first_not_of('0'), expDigits.size());
  if (expDigits.size() - firstExpDigit > 9) {
    exponent = 999999999;
  } else {
    for (char c : expDigits) exponent = exponent * 10 + (c - '0');
  }
  if (expNegative) exponent = -exponent;

  std::string buffer;
  buffer.reserve(intDigits.size() + fracDigits.size() + 16);
  buffer.append(intDigits.empty() ? std::string_view("0") : intDigits);
  if (!fracDigits.empty()) {
    buffer += '.';
    buffer.append(fracDigits);
  }
  buffer += 'e';
  buffer += std::to_string(exponent);

  double value = 0;
  auto [end, ec] = std::from_chars(buffer.data(), buffer.data() + buffer.size(), value);
  if (ec == std::errc::result_out_of_range) {
    // Too large, or too small to tell from zero: the decimal magnitude decides which.
    std::size_t firstInt = std::min(intDigits.find_first_not_of('0'), intDigits.size());
    std::int64_t magnitude = static_cast<std::int64_t>(intDigits.size() - firstInt);
    if (magnitude == 0) {
      std::size_t firstFrac = std::min(fracDigits.find_first_not_of('0'), fracDigits.size());
      magnitude = -static_cast<std::int64_t>(firstFrac);
    }
    if (magnitude + exponent > 0) Raise(err::Overflow);
    value = 0;
  } else if (ec != std::errc()) {
    value = 0;
  }
  return negative ? -value : value;
}

bool IsValBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }

}  // namespace

int32_t NumberUtilities::Max(int32_t lng1, int32_t lng2) const { return lng1 > lng2 ? lng1 : lng2; }

int32_t NumberUtilities::Min(int32_t lng1, int32_t lng2) const { return lng1 < lng2 ? lng1 : lng2; }

double NumberUtilities::fVal(const std::string& strText) const {
  std::string text;
  text.reserve(strText.size());
  for (char c : strText) {
    if (IsValBlank(c)) continue;
    text += c == ',' ? '.' : c;
  }
  if (text.size() >= 2 && text[0] == '&') {
    if (text[1] == 'H' || text[1] == 'h') return ReadRadixNumber(text, 16);
    if (text[1] == 'O' || text[1] == 'o') return ReadRadixNumber(text, 8);
  }
  return ReadLeadingDecimal(text);
}

int32_t NumberUtilities::ByteStringToLong(const std::string& strString) const {
  if (strString.size() > 4) Raise(err::Overflow);
  std::uint32_t value = 0;
  for (unsigned char c : strString) value = (value << 8) | c;
  return static_cast<int32_t>(value);
}

std::string NumberUtilities::LongToByteString(int32_t lngNumber, int32_t lngLength, int32_t lngBits) const {
  if (lngBits < 1) Raise(err::InvalidProcedureCall);
  if (lngLength > static_cast<int32_t>(MaxByteStringLength)) Raise(err::Overflow);
  const std::int64_t base = std::int64_t{1} << std::min(lngBits, 32);
  std::string digits;  // least significant first
  for (std::int64_t n = lngNumber; n >= 1; n /= base) {
    std::int64_t digit = n % base;
    if (digit > 255) Raise(err::InvalidProcedureCall);
    digits += static_cast<char>(digit);
  }
  if (lngLength > 0 && digits.size() < static_cast<std::size_t>(lngLength)) {
    digits.append(static_cast<std::size_t>(lngLength) - digits.size(), '\0');
  }
  std::reverse(digits.begin(), digits.end());
  return digits;
}

int32_t NumberUtilities::SevenBitByteStringToLong(const std::string& strString) const {
  if (strString.size() > MaxByteStringLength) Raise(err::Overflow);
  std::int64_t value = 0;
  for (unsigned char c : strString) {
    value = value * 128 + c;
    if (value > std::numeric_limits<int32_t>::max()) Raise(err::Overflow);
  }
  return static_cast<int32_t>(value);
}

double Val(const std::string& strText) {
  std::size_t i = 0;
  while (i < strText.size() && IsValBlank(strText[i])) ++i;
  return ReadLeadingDecimal(std::string_view(strText).substr(i));
}

int32_t RoundHalfEven(double value) {
  if (!(value > -2147483649.0 && value < 2147483648.0)) Raise(err::Overflow);  // also a NaN
  double floor = std::floor(value);
  double diff = value - floor;
  double rounded = floor;
  if (diff > 0.5 || (diff == 0.5 && std::fmod(floor, 2.0) != 0.0)) rounded = floor + 1;
  if (rounded < -2147483648.0 || rounded > 2147483647.0) Raise(err::Overflow);
  return static_cast<int32_t>(rounded);
}

}  // namespace kestrun
