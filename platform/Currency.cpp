#include "platform/Currency.h"

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

  // Collect the significant digits and where the decimal point falls among them.
  std::string digits;
  int decimals = 0;
  bool seenPoint = false;
  bool anyDigit = false;
  for (; i < aText.size(); ++i) {
    const char c = aText[i];
    if (IsDigit(c)) {
      digits += c;
      anyDigit = true;
      if (seenPoint) ++decimals;
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

  // value = digits * 10^(exponent - decimals); scaled by 10^4 for the raw count.
  int shift = exponent - decimals + 4;
  std::size_t firstNonZero = digits.find_first_not_of('0');
  if (firstNonZero == std::string::npos) return Currency();
  digits.erase(0, firstNonZero);
  if (shift >= 0) {
    if (digits.size() + shift > 19) return std::nullopt;
    digits.append(static_cast<std::size_t>(shift), '0');
    shift = 0;
  }
  // Split off the digits that fall below 0.0001 and round them, ties to even.
  std::string kept = digits;
  std::string dropped;
  if (shift < 0) {
    const std::size_t drop = static_cast<std::size_t>(-shift);
    if (drop >= kept.size()) {
      dropped = std::string(drop - kept.size(), '0') + kept;
      kept.assign(1, '0');
    } else {
      dropped = kept.substr(kept.size() - drop);
      kept.erase(kept.size() - drop);
    }
  }
  if (kept.size() > 19) return std::nullopt;
  unsigned long long magnitude = std::stoull(kept);
  if (!dropped.empty()) {
    const bool aboveHalf =
        dropped[0] > '5' || (dropped[0] == '5' && dropped.find_first_not_of('0', 1) != std::string::npos);
    const bool exactHalf = dropped[0] == '5' && dropped.find_first_not_of('0', 1) == std::string::npos;
    if (aboveHalf || (exactHalf && (magnitude % 2 == 1))) ++magnitude;
  }
  if (magnitude > static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()))
    return std::nullopt;
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
