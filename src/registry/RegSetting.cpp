#include "registry/RegSetting.h"

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "util/NumberUtilities.h"
#include "util/RuntimeError.h"

namespace kestrun {

LocalDateTime LocalDateTime::Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  return LocalDateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

namespace {

// The locale's time conventions, taken from the environment without touching the process's locale.
class TimeLocale {
 public:
  TimeLocale() {
    loc_ = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc_) loc_ = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
  }
  ~TimeLocale() {
    if (loc_) ::freelocale(loc_);
  }
  TimeLocale(const TimeLocale&) = delete;
  TimeLocale& operator=(const TimeLocale&) = delete;

  std::string Format(const std::tm& tm, bool withDate, bool withTime) const {
    std::string format;
    if (withDate) {
      format = loc_ ? ::nl_langinfo_l(D_FMT, loc_) : "%m/%d/%y";
      // A two-digit year is ambiguous in a stored date; write all four digits.
      for (std::size_t at = format.find("%y"); at != std::string::npos; at = format.find("%y", at + 2)) {
        format[at + 1] = 'Y';
      }
    }
    if (withTime) {
      if (!format.empty()) format += ' ';
      format += loc_ ? ::nl_langinfo_l(T_FMT, loc_) : "%H:%M:%S";
    }
    char buffer[256];
    std::size_t n = loc_ ? ::strftime_l(buffer, sizeof buffer, format.c_str(), &tm, loc_)
                         : std::strftime(buffer, sizeof buffer, format.c_str(), &tm);
    return std::string(buffer, n);
  }

 private:
  locale_t loc_ = static_cast<locale_t>(nullptr);
};

std::chrono::sys_days DaysOf(const LocalDateTime& when) {
  using namespace std::chrono;
  return sys_days{year{when.Year} / month{static_cast<unsigned>(when.Month)} / day{static_cast<unsigned>(when.Day)}};
}

// VB's CStr of a Double: whole numbers below 1E15 in full, others with 15 significant digits.
std::string NumberText(double value) {
  char buffer[64];
  if (value == 0) return "0";
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15) {
    std::snprintf(buffer, sizeof buffer, "%.0f", value);
  } else {
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
  }
  return buffer;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// True when the whole of `s` (blanks around it allowed) is one decimal number.
bool IsWholeDecimal(std::string_view s) {
  std::size_t i = 0;
  auto skipBlanks = [&] {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  };
  skipBlanks();
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  std::size_t digits = 0;
  while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t expDigits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++expDigits;
    if (expDigits == 0) return false;
  }
  skipBlanks();
  return i == s.size();
}

std::int32_t TextToLong(const std::string& text) {
  std::string_view s = text;
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  if (s.size() >= 3 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    // A hexadecimal or octal literal fills 32 bits, as &HFFFFFFFF is -1.
    unsigned radix = (s[1] == 'H' || s[1] == 'h') ? 16 : 8;
    std::uint64_t value = 0;
    for (char c : s.substr(2)) {
      unsigned d = IsDigit(c)               ? unsigned(c - '0')
                   : (c >= 'a' && c <= 'f') ? unsigned(c - 'a' + 10)
                   : (c >= 'A' && c <= 'F') ? unsigned(c - 'A' + 10)
                                            : 99u;
      if (d >= radix) Raise(err::TypeMismatch);
      value = value * radix + d;
      if (value > 0xFFFFFFFFu) Raise(err::Overflow);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  if (!IsWholeDecimal(s)) Raise(err::TypeMismatch);
  return RoundHalfEven(Val(std::string(s)));
}

}  // namespace

std::string GeneralDateText(const LocalDateTime& when) {
  std::tm tm{};
  tm.tm_year = when.Year - 1900;
  tm.tm_mon = when.Month - 1;
  tm.tm_mday = when.Day;
  tm.tm_hour = when.Hour;
  tm.tm_min = when.Minute;
  tm.tm_sec = when.Second;
  tm.tm_isdst = -1;
  using namespace std::chrono;
  tm.tm_wday = static_cast<int>(weekday{DaysOf(when)}.c_encoding());
  bool zeroDate = when.Year == 1899 && when.Month == 12 && when.Day == 30;
  bool midnight = when.Hour == 0 && when.Minute == 0 && when.Second == 0;
  return TimeLocale().Format(tm, !zeroDate || midnight, !midnight);
}

std::string RegSetting::Text() const {
  struct Visitor {
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(std::int64_t n) const { return std::to_string(n); }
    std::string operator()(double d) const { return NumberText(d); }
    std::string operator()(const LocalDateTime& t) const { return GeneralDateText(t); }
  };
  return std::visit(Visitor{}, value_);
}

std::int32_t RegSetting::ToLong() const {
  struct Visitor {
    std::int32_t operator()(const std::string& s) const { return TextToLong(s); }
    std::int32_t operator()(std::int64_t n) const {
      if (n < INT32_MIN || n > INT32_MAX) Raise(err::Overflow);
      return static_cast<std::int32_t>(n);
    }
    std::int32_t operator()(double d) const { return RoundHalfEven(d); }
    std::int32_t operator()(const LocalDateTime& t) const {
      using namespace std::chrono;
      double days = static_cast<double>((DaysOf(t) - sys_days{1899y / 12 / 30}).count());
      double fraction = (t.Hour * 3600.0 + t.Minute * 60.0 + t.Second) / 86400.0;
      return RoundHalfEven(days + fraction);
    }
  };
  return std::visit(Visitor{}, value_);
}

}  // namespace kestrun
