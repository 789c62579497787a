#include "drivers/velmo/ReportFormat.h"

#include <cstdint>
#include <cstdio>

#include "platform/Text.h"

namespace velmoreport {
namespace {

constexpr int kSignificantDigits = 6;
constexpr std::size_t kLabelWidth = 34;
constexpr std::size_t kValueWidth = 10;

std::uint64_t PowerOfTen(int aExponent) {
  std::uint64_t result = 1;
  for (int i = 0; i < aExponent; ++i) result *= 10;
  return result;
}

int DigitCount(std::uint64_t aValue) {
  int count = 1;
  while (aValue >= 10) {
    aValue /= 10;
    ++count;
  }
  return count;
}

// aValue / 10^aDigits, halves away from zero (aValue is a magnitude).
std::uint64_t DropDigitsRounded(std::uint64_t aValue, int aDigits) {
  if (aDigits <= 0) return aValue;
  const std::uint64_t divisor = PowerOfTen(aDigits);
  const std::uint64_t quotient = aValue / divisor;
  return aValue % divisor >= divisor / 2 + divisor % 2 ? quotient + 1 : quotient;
}

std::string GroupThousands(const std::string& aDigits, const std::string& aSeparator) {
  if (aSeparator.empty()) return aDigits;
  std::string grouped;
  const std::size_t length = aDigits.size();
  for (std::size_t i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) grouped += aSeparator;
    grouped += aDigits[i];
  }
  return grouped;
}

std::string TwoDigits(int aValue) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", aValue);
  return text;
}

std::string PadRight(const std::string& aText, std::size_t aWidth) {
  const std::size_t length = qztext::Utf16Length(aText);
  return length >= aWidth ? aText : aText + std::string(aWidth - length, ' ');
}

std::string PadLeft(const std::string& aText, std::size_t aWidth) {
  const std::size_t length = qztext::Utf16Length(aText);
  return length >= aWidth ? aText : std::string(aWidth - length, ' ') + aText;
}

}  // namespace

std::string FormatReportNumber(Currency aValue, int aDecimals,
                               const qzplatform::RegionalSettings& aSettings) {
  const bool negative = aValue.Raw() < 0;
  // Unsigned, so that the most negative amount still has a magnitude.
  std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(aValue.Raw())
                                     : static_cast<std::uint64_t>(aValue.Raw());
  constexpr int kScaleDigits = 4;  // the raw value counts ten-thousandths

  // Six significant digits first: the digits beyond them become zeros.
  const int excess = DigitCount(magnitude) - kSignificantDigits;
  if (excess > 0) magnitude = DropDigitsRounded(magnitude, excess) * PowerOfTen(excess);

  const std::string sign = negative ? "-" : "";
  const int wholeDigits = DigitCount(magnitude) - kScaleDigits;
  if (wholeDigits > kSignificantDigits) {
    const int totalDigits = DigitCount(magnitude);
    std::string mantissa = std::to_string(magnitude / PowerOfTen(totalDigits - kSignificantDigits));
    while (mantissa.size() > 1 && mantissa.back() == '0') mantissa.pop_back();
    std::string text = sign + mantissa.substr(0, 1);
    if (mantissa.size() > 1) text += aSettings.DecimalSeparator + mantissa.substr(1);
    const int exponent = totalDigits - 1 - kScaleDigits;
    return text + "E" + TwoDigits(exponent);
  }

  const int decimals = aDecimals < 0 ? 0 : (aDecimals > kScaleDigits ? kScaleDigits : aDecimals);
  const std::uint64_t shown = DropDigitsRounded(magnitude, kScaleDigits - decimals);
  const std::uint64_t unit = PowerOfTen(decimals);
  std::string text = GroupThousands(std::to_string(shown / unit), aSettings.ThousandSeparator);
  if (decimals > 0) {
    std::string fraction = std::to_string(shown % unit);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    text += aSettings.DecimalSeparator + fraction;
  }
  // A value that rounds to nothing is not shown as "-0,00".
  return (shown == 0 ? "" : sign) + text;
}

std::string FormatReportDate(const DateTime& aValue, const qzplatform::RegionalSettings& aSettings) {
  const DateTime::Parts parts = aValue.Decode();
  char year[16];
  std::snprintf(year, sizeof year, "%04d", parts.Year);
  return TwoDigits(parts.Day) + aSettings.DateSeparator + TwoDigits(parts.Month) + aSettings.DateSeparator +
         year + " " + TwoDigits(parts.Hour) + aSettings.TimeSeparator + TwoDigits(parts.Minute);
}

std::string ReportLine(const std::string& aLabel, const std::string& aValue) {
  return PadRight(aLabel, kLabelWidth) + PadLeft(aValue, kValueWidth);
}

}  // namespace velmoreport
