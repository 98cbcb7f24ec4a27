#pragma once
#include <concepts>
#include <cstdint>
#include <string>
#include <variant>

namespace kestrun {

// A local date and time without a time zone, as the run records "LatestRunDate" and "LatestUpdateDate".
struct LocalDateTime {
  int Year = 1899;
  int Month = 12;
  int Day = 30;
  int Hour = 0;
  int Minute = 0;
  int Second = 0;

  static LocalDateTime Now();
  bool operator==(const LocalDateTime&) const = default;
};

// The general date format: the date and time of the user's locale (LC_TIME from the environment, the
// date with a four-digit year), "<date> <time>". Midnight shows the date alone and a time on
// 1899-12-30 (the zero date) the time alone, as the ordinary conversion of a date-time to text does.
std::string GeneralDateText(const LocalDateTime& when);

// A value handed to the registry: a text, a number or a date-time. It converts the way the program's
// values always have: to text for text values, to a 32-bit integer for REG_DWORD values.
class RegSetting {
 public:
  RegSetting() = default;  // the empty text
  RegSetting(std::string text) : value_(std::move(text)) {}
  RegSetting(const char* text) : value_(std::string(text ? text : "")) {}
  template <std::integral T>
  requires(!std::same_as<T, bool> && !std::same_as<T, char>) RegSetting(T number) {
    if constexpr (std::unsigned_integral<T> && sizeof(T) >= sizeof(std::int64_t)) {
      if (number > static_cast<T>(INT64_MAX)) {
        value_ = static_cast<double>(number);
        return;
      }
    }
    value_ = static_cast<std::int64_t>(number);
  }
  RegSetting(double number) : value_(number) {}
  RegSetting(LocalDateTime when) : value_(when) {}

  // The text form: a text as it is, a whole number in decimal, other numbers with up to 15 significant
  // digits ("2.5", "1E+20"), a date-time in the general date format.
  std::string Text() const;
  // The 32-bit integer: a text is read as a number (decimal, "&H" or "&O"; err::TypeMismatch when it is
  // not one), a fraction goes to the nearest integer with halves to the even neighbour, a date-time to
  // its day number; err::Overflow outside the 32-bit range.
  std::int32_t ToLong() const;

 private:
  std::variant<std::string, std::int64_t, double, LocalDateTime> value_;
};

}  // namespace kestrun
