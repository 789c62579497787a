#include <gtest/gtest.h>

#include <clocale>

#include "platform/RegionalSettings.h"
#include "platform/TestEnvironment.h"

namespace {

using qzplatform::CurrentRegionalSettings;
using qzplatform::FormatShortDate;
using qzplatform::RegionalSettings;
using qzplatform::RegionalSettingsFor;

struct LocaleCase {
  const char* Locale;
  const char* Decimal;
  const char* Thousand;
  const char* DateSeparator;
  const char* TimeSeparator;
  const char* ShortDate;
  const char* ReleaseDate;  // 14 April 2022 as a short date
};

TEST(RegionalSettings, SeparatorsAndShortDateOfALocale) {
  const LocaleCase cases[] = {
      {"it_IT.UTF-8", ",", ".", "/", ":", "dd/mm/yyyy", "14/04/2022"},
      // No grouping in the C locale; its two-digit year is widened to four.
      {"C", ".", "", "/", ":", "mm/dd/yyyy", "04/14/2022"},
      {"POSIX", ".", "", "/", ":", "mm/dd/yyyy", "04/14/2022"},
      // A locale that is not installed reads as C.
      {"xx_NOWHERE.UTF-8", ".", "", "/", ":", "mm/dd/yyyy", "04/14/2022"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Locale);
    const RegionalSettings s = RegionalSettingsFor(c.Locale, c.Locale);
    EXPECT_EQ(s.DecimalSeparator, c.Decimal);
    EXPECT_EQ(s.ThousandSeparator, c.Thousand);
    EXPECT_EQ(s.DateSeparator, c.DateSeparator);
    EXPECT_EQ(s.TimeSeparator, c.TimeSeparator);
    EXPECT_EQ(s.ShortDateFormat, c.ShortDate);
    EXPECT_EQ(FormatShortDate(*DateTime::Encode(2022, 4, 14), s), c.ReleaseDate);
  }
}

TEST(RegionalSettings, EnvironmentChoosesTheLocalePerCategory) {
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv numeric("LC_NUMERIC", "it_IT.UTF-8");
  ScopedEnv time("LC_TIME", "C");
  ScopedEnv lang("LANG", "C");
  RegionalSettings s = CurrentRegionalSettings();
  EXPECT_EQ(s.DecimalSeparator, ",");
  EXPECT_EQ(s.ShortDateFormat, "mm/dd/yyyy");

  {
    // LC_ALL overrides every category.
    ScopedEnv overrideAll("LC_ALL", "C");
    EXPECT_EQ(CurrentRegionalSettings().DecimalSeparator, ".");
  }
  {
    // LANG is the fallback when the category is not named.
    ScopedEnv noTime("LC_TIME", std::nullopt);
    ScopedEnv italian("LANG", "it_IT.UTF-8");
    EXPECT_EQ(CurrentRegionalSettings().ShortDateFormat, "dd/mm/yyyy");
  }
}

TEST(RegionalSettings, HostGlobalLocaleIsNeverChanged) {
  const std::string before = std::setlocale(LC_ALL, nullptr);
  ScopedEnv all("LC_ALL", "it_IT.UTF-8");
  EXPECT_EQ(CurrentRegionalSettings().DecimalSeparator, ",");
  EXPECT_EQ(std::setlocale(LC_ALL, nullptr), before);
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.5);
  EXPECT_STREQ(text, "1.5");
}

}  // namespace
