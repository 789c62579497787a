#pragma once
// The regional settings of the user: separators and the short date layout, taken from the locale the
// environment names (LC_ALL, then LC_NUMERIC for numbers / LC_TIME for dates and times, then LANG). The
// host's global locale is never touched. A locale that is not installed (or none named) reads as "C".
//
// it_IT.UTF-8: decimal ",", thousands ".", date "/", time ":", short date "dd/mm/yyyy".
// C / POSIX:   decimal ".", thousands "" (numbers are not grouped), date "/", time ":", short date
//              "mm/dd/yyyy". Years are always written with four digits, even where the locale's own date
//              layout has two: a fiscal date with a two-digit year is ambiguous.

#include <string>

#include "platform/DateTime.h"

namespace qzplatform {

struct RegionalSettings {
  std::string DecimalSeparator;   // UTF-8, e.g. ","
  std::string ThousandSeparator;  // UTF-8, may be empty (no grouping)
  std::string DateSeparator;      // e.g. "/"
  std::string TimeSeparator;      // e.g. ":"
  // The order of day, month and year with the date separator between them, written with the tokens
  // "dd", "mm", "yyyy": "dd/mm/yyyy", "mm/dd/yyyy", "yyyy-mm-dd" ...
  std::string ShortDateFormat;
};

// The settings of the locales the environment names now (cached per locale name).
RegionalSettings CurrentRegionalSettings();
// The settings of explicit locale names (cached); an unknown name reads as "C".
RegionalSettings RegionalSettingsFor(const std::string& aNumericLocale, const std::string& aTimeLocale);

// aDate as a short date of aSettings: "14/04/2022" with Italian settings.
std::string FormatShortDate(const DateTime& aDate, const RegionalSettings& aSettings);

}  // namespace qzplatform
