// The conversion functions shared by every unit: XML texts of date-times, amounts and Booleans, rounding,
// zero-padded numbers, delimited fields and the host's command line.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "platform/QzError.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"

namespace {

// A run of decimal digits (no sign, no blanks) as an integer; nullopt otherwise.
std::optional<int> DecimalField(const std::string& aText, std::size_t aStart, std::size_t aLength) {
  if (aStart >= aText.size()) return std::nullopt;
  const std::string field = aText.substr(aStart, aLength);
  if (field.empty() || field.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Milliseconds from the fraction after the seconds. A fraction of fewer than three digits is still a
// decimal fraction (".12" is 120 ms), and a zone suffix (".120Z") ends it; text other than a fraction
// after the seconds ("Z", "+02:00") gives 0.
int FractionMilliseconds(const std::string& aText) {
  if (aText.size() <= 20 || (aText[19] != '.' && aText[19] != ',')) return 0;
  int value = 0;
  int digits = 0;
  for (std::size_t i = 20; i < aText.size() && i < 23 && aText[i] >= '0' && aText[i] <= '9'; ++i, ++digits) {
    value = value * 10 + (aText[i] - '0');
  }
  for (; digits < 3; ++digits) value *= 10;
  return value;
}

}  // namespace

std::string DateTimeToXml(bool aWithMilliseconds, const DateTime& aValue) {
  const DateTime::Parts p = aValue.Decode();
  char text[32];
  if (aWithMilliseconds) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second, p.Millisecond);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                  p.Minute, p.Second);
  }
  return text;
}

DateTime XmlToDateTime(const std::string& aText) {
  const auto year = DecimalField(aText, 0, 4);
  const auto month = DecimalField(aText, 5, 2);
  const auto day = DecimalField(aText, 8, 2);
  const auto hour = DecimalField(aText, 11, 2);
  const auto minute = DecimalField(aText, 14, 2);
  const auto second = DecimalField(aText, 17, 2);
  // A text shorter than 19 characters lacks part of the seconds, even when what is there reads as a number.
  if (aText.size() >= 19 && year && month && day && hour && minute && second) {
    if (auto value =
            DateTime::Encode(*year, *month, *day, *hour, *minute, *second, FractionMilliseconds(aText))) {
      return *value;
    }
  }
  throw QzError("DateTime Format invalid: [" + aText + "]");
}

std::string CurrencyToXml(Currency aValue) { return aValue.ToText(); }

std::string BooleanToXml(bool aValue) { return aValue ? "True" : "False"; }

Currency RoundCurrency2(Currency aValue) {
  // One cent is 100 ten-thousandths; the remainder keeps the sign of the amount.
  const std::int64_t raw = aValue.Raw();
  const std::int64_t remainder = raw % 100;
  std::int64_t rounded = raw - remainder;
  if (remainder >= 50) rounded += 100;
  if (remainder <= -50) rounded -= 100;
  return Currency::FromRaw(rounded);
}

std::string FormatNumberZeroPadded(double aNumber, int aDigits, int aDecimals,
                                   const std::string& aDecimalSeparator, bool aSign) {
  if (aDigits <= 0) return {};
  const int decimals = std::clamp(aDecimals, 0, 18);
  const long double scale = std::pow(10.0L, decimals);
  const bool negative = aNumber < 0;
  // Halves away from zero, as a person rounds.
  const long double magnitude = std::round(std::fabs(static_cast<long double>(aNumber)) * scale) / scale;
  char buffer[512];
  std::snprintf(buffer, sizeof buffer, "%.*Lf", decimals, magnitude);
  std::string number;
  for (const char* c = buffer; *c != '\0'; ++c) {
    if (*c == '.') {
      number += aDecimalSeparator;
    } else {
      number += *c;
    }
  }
  const bool showSign = negative && magnitude != 0;
  if (aSign && showSign) {
    // The sign takes the first position; the digits fill the rest.
    const std::string padded = std::string(aDigits, '0') + number;
    return "-" + padded.substr(padded.size() - (aDigits - 1));
  }
  const std::string padded = std::string(aDigits, '0') + (showSign ? "-" : "") + number;
  return padded.substr(padded.size() - aDigits);
}

std::string ExtractDelimitedField(const std::string& aText, int aFieldNumber, char aSeparator, bool aToEnd) {
  if (aFieldNumber < 1) return {};
  std::size_t start = 0;
  for (int field = 1; field < aFieldNumber; ++field) {
    const auto separator = aText.find(aSeparator, start);
    if (separator == std::string::npos) return {};
    start = separator + 1;
  }
  if (aToEnd) return aText.substr(start);
  const auto end = aText.find(aSeparator, start);
  return aText.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

int CountOccurrences(const std::string& aText, const std::string& aSearched) {
  if (aSearched.empty()) return 0;
  int count = 0;
  for (auto position = aText.find(aSearched); position != std::string::npos;
       position = aText.find(aSearched, position + 1)) {
    ++count;
  }
  return count;
}

std::int64_t TimeOfDayToMilliseconds(const DateTime& aValue) {
  const DateTime::Parts p = aValue.Decode();
  return ((p.Hour * 3600LL + p.Minute * 60LL + p.Second) * 1000LL) + p.Millisecond;
}

std::string GetApplicationPath() { return qzplatform::ApplicationDirectory(); }

std::string GetApplicationName() { return qzplatform::ApplicationName(); }

std::string GetCommandLineParameter(const std::vector<std::string>& aParameters, const std::string& aName,
                                    bool aWhole) {
  const std::string name = qztext::ToLowerAscii(aName);
  for (const std::string& parameter : aParameters) {
    const std::string lower = qztext::ToLowerAscii(parameter);
    const bool matches =
        lower == name || (lower.size() > name.size() && lower.compare(0, name.size(), name) == 0 &&
                          (lower[name.size()] == ':' || lower[name.size()] == '='));
    if (!matches) continue;
    if (aWhole) return parameter;
    return parameter.size() > name.size() + 1 ? parameter.substr(name.size() + 1) : std::string();
  }
  return {};
}

std::string GetCommandLineParameter(const std::string& aName, bool aWhole) {
  return GetCommandLineParameter(qzplatform::CommandLineParameters(), aName, aWhole);
}
