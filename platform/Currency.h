#pragma once
// Currency: the fixed-point amount of the system. A signed 64-bit count of ten-thousandths of the unit,
// used for every amount, price, quantity and rate. Sums and differences are exact; a product or quotient is
// formed at full floating precision and stored back by rounding to the nearest 0.0001, ties to even
// (round4).

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Currency {
 public:
  static constexpr std::int64_t kScale = 10000;

  constexpr Currency() = default;

  static constexpr Currency FromRaw(std::int64_t aRaw) { return Currency(aRaw); }
  static constexpr Currency FromUnits(std::int64_t aUnits) {
    std::int64_t raw = 0;
    if (__builtin_mul_overflow(aUnits, kScale, &raw)) ThrowOverflow();
    return Currency(raw);
  }
  // Nearest 0.0001, ties to even (round4). Values outside the 64-bit range throw QzError.
  static Currency FromDouble(long double aValue);
  // Exact decimal text: optional sign, digits, optional "." and decimals, optional exponent ("1E3").
  // aGrouping, when not 0, is a thousands character accepted (and ignored) among the whole digits.
  // More than four decimals round to the nearest 0.0001, ties to even. Empty or malformed text gives
  // nullopt.
  static std::optional<Currency> Parse(std::string_view aText, char aDecimal = '.', char aGrouping = 0);

  constexpr std::int64_t Raw() const { return fRaw; }
  double ToDouble() const { return static_cast<double>(fRaw) / kScale; }
  long double ToLongDouble() const { return static_cast<long double>(fRaw) / kScale; }

  // Shortest decimal text: "." separator, no grouping, no exponent, no trailing zeros, no decimal point
  // for whole values, "-" when negative: 0, 12.5, 1234.5678, -3.25.
  std::string ToText() const;

  // Sums and differences are exact; one that leaves the 64-bit range throws QzError("Arithmetic overflow")
  // instead of wrapping round to a wrong total.
  constexpr Currency operator-() const { return Currency() - *this; }
  constexpr Currency operator+(Currency aOther) const {
    std::int64_t result = 0;
    if (__builtin_add_overflow(fRaw, aOther.fRaw, &result)) ThrowOverflow();
    return Currency(result);
  }
  constexpr Currency operator-(Currency aOther) const {
    std::int64_t result = 0;
    if (__builtin_sub_overflow(fRaw, aOther.fRaw, &result)) ThrowOverflow();
    return Currency(result);
  }
  constexpr Currency& operator+=(Currency aOther) { return *this = *this + aOther; }
  constexpr Currency& operator-=(Currency aOther) { return *this = *this - aOther; }
  // round4(a * b) and round4(a / b); a division by zero throws QzError("Division by zero").
  Currency operator*(Currency aOther) const;
  Currency operator/(Currency aOther) const;

  constexpr Currency Abs() const { return fRaw < 0 ? -*this : *this; }
  constexpr bool IsZero() const { return fRaw == 0; }

  constexpr auto operator<=>(const Currency&) const = default;

 private:
  constexpr explicit Currency(std::int64_t aRaw) : fRaw(aRaw) {}
  [[noreturn]] static void ThrowOverflow();

  std::int64_t fRaw = 0;
};
