#include "platform/Currency.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

#include "platform/QzError.h"

namespace {

// The default floating rounding mode rounds to nearest, ties to even.
std::int64_t RoundToNearestEven(long double aValue) {
  const long double rounded = std::nearbyint(aValue);
  if (!(rounded >= -9223372036854775808.0L && rounded < 9223372036854775808.0L)) {
    throw QzError("Currency value out of range");
  }
  return static_cast<std::int64_t>(rounded);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void Currency::ThrowOverflow() { throw QzError("Arithmetic overflow"); }

Currency Currency::FromDouble(long double aValue) { return Currency(RoundToNearestEven(aValue * kScale)); }

Currency Currency::operator*(Currency aOther) const {
  return FromDouble(ToLongDouble() * aOther.ToLongDouble());
}

Currency Currency::operator/(Currency aOther) const {
  if (aOther.fRaw == 0) throw QzError("Division by zero");
  return FromDouble(ToLongDouble() / aOther.ToLongDouble());
}

std::optional<Currency> Currency::Parse(std::string_view aText, char aDecimal, char aGrouping) {
  std::size_t i = 0;
  bool negative = false;
  if (i < aText.size() && (aText[i] == '-' || aText[i] == '+')) negative = aText[i++] == '-';

  // The significant digits (leading zeros skipped) and how many of them follow the decimal point. Digits
  // past what any amount can hold only matter for rounding (sticky) or for the magnitude (extraWhole).
  constexpr int kCapacity = 40;
  char digits[kCapacity];
  int count = 0;
  int decimals = 0;
  int extraWhole = 0;
  bool sticky = false;
  bool seenPoint = false;
  bool anyDigit = false;
  for (; i < aText.size(); ++i) {
    const char c = aText[i];
    if (IsDigit(c)) {
      anyDigit = true;
      if (count == 0 && c == '0') {
        if (seenPoint) ++decimals;
      } else if (count < kCapacity) {
        digits[count++] = c;
        if (seenPoint) ++decimals;
      } else {
        sticky = sticky || c != '0';
        if (!seenPoint) ++extraWhole;
      }
    } else if (c == aDecimal && !seenPoint) {
      seenPoint = true;
    } else if (aGrouping != 0 && c == aGrouping && !seenPoint && anyDigit) {
      continue;
    } else {
      break;
    }
  }
  if (!anyDigit) return std::nullopt;

  int exponent = 0;
  if (i < aText.size() && (aText[i] == 'e' || aText[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < aText.size() && (aText[i] == '-' || aText[i] == '+')) negativeExponent = aText[i++] == '-';
    if (i >= aText.size() || !IsDigit(aText[i])) return std::nullopt;
    for (; i < aText.size() && IsDigit(aText[i]); ++i) {
      if (exponent < 100000) exponent = exponent * 10 + (aText[i] - '0');
    }
    if (negativeExponent) exponent = -exponent;
  }
  if (i != aText.size()) return std::nullopt;
  if (count == 0) return Currency();

  // value = digits * 10^shift counted in ten-thousandths; digits below 0.0001 round to nearest, ties to even.
  const int shift = exponent + extraWhole - decimals + 4;
  const int kept = shift >= 0 ? count : std::max(count + shift, 0);
  const int zeros = shift > 0 ? shift : 0;
  if (kept + zeros > 19) return std::nullopt;
  std::uint64_t magnitude = 0;
  for (int d = 0; d < kept; ++d) magnitude = magnitude * 10 + static_cast<std::uint64_t>(digits[d] - '0');
  for (int z = 0; z < zeros; ++z) {
    if (__builtin_mul_overflow(magnitude, 10u, &magnitude)) return std::nullopt;
  }
  if (kept < count) {
    // The first dropped digit is a zero when the number lies wholly below the last kept place.
    const char first = count + shift >= 0 ? digits[kept] : '0';
    bool restNonZero = sticky;
    for (int d = kept + 1; d < count && !restNonZero; ++d) restNonZero = digits[d] != '0';
    const bool aboveHalf = first > '5' || (first == '5' && restNonZero);
    const bool exactHalf = first == '5' && !restNonZero;
    if (aboveHalf || (exactHalf && magnitude % 2 == 1)) ++magnitude;
  }
  if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
  const auto raw = static_cast<std::int64_t>(magnitude);
  return Currency(negative ? -raw : raw);
}

std::string Currency::ToText() const {
  const bool negative = fRaw < 0;
  // The magnitude of INT64_MIN does not fit a signed value; unsigned arithmetic keeps it exact.
  const unsigned long long magnitude =
      negative ? 0ULL - static_cast<unsigned long long>(fRaw) : static_cast<unsigned long long>(fRaw);
  std::string text = std::to_string(magnitude / kScale);
  unsigned long long fraction = magnitude % kScale;
  if (fraction != 0) {
    std::string decimals = std::to_string(fraction);
    decimals.insert(0, 4 - decimals.size(), '0');
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += '.' + decimals;
  }
  return negative ? '-' + text : text;
}
