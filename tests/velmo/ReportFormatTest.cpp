#include <gtest/gtest.h>

#include "drivers/velmo/ReportFormat.h"
#include "platform/Text.h"

namespace {

using velmoreport::FormatReportDate;
using velmoreport::FormatReportNumber;
using velmoreport::ReportLine;

qzplatform::RegionalSettings Italian() {
  return qzplatform::RegionalSettingsFor("it_IT.UTF-8", "it_IT.UTF-8");
}

TEST(ReportFormatTest, ItalianLocaleIsInstalled) {
  // Every other expectation here depends on it: scripts/setup.sh generates it.
  const qzplatform::RegionalSettings settings = Italian();
  ASSERT_EQ(settings.DecimalSeparator, ",");
  ASSERT_EQ(settings.ThousandSeparator, ".");
}

TEST(ReportFormatTest, AmountsUnderItalianSettings) {
  struct Case {
    const char* amount;
    int decimals;
    const char* expected;
  };
  const Case cases[] = {
      {"0", 2, "0,00"},
      {"17.5", 2, "17,50"},
      {"1234.5", 2, "1.234,50"},
      {"12345.678", 2, "12.345,70"},  // six significant digits first
      {"2.345", 2, "2,35"},           // halves away from zero, not the binary double's 2.34499...
      {"-2.345", 2, "-2,35"},
      {"-3.25", 2, "-3,25"},
      {"-0.004", 2, "0,00"},  // no negative zero
      {"999999.99", 2, "1E06"},
      {"1234567.89", 2, "1,23457E06"},
      {"-1234567.89", 2, "-1,23457E06"},
      {"2000000", 2, "2E06"},
      {"123456789012", 2, "1,23457E11"},
      {"1234", 0, "1.234"},
      {"0", 0, "0"},
      {"123456", 0, "123.456"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatReportNumber(*Currency::Parse(c.amount), c.decimals, Italian()), c.expected) << c.amount;
  }
  EXPECT_EQ(FormatReportNumber(Currency::FromRaw(INT64_MIN), 2, Italian()), "-9,22337E14");
}

TEST(ReportFormatTest, SeparatorsComeFromTheSettings) {
  qzplatform::RegionalSettings settings;
  settings.DecimalSeparator = ".";
  settings.ThousandSeparator = "";
  settings.DateSeparator = "-";
  settings.TimeSeparator = ".";
  EXPECT_EQ(FormatReportNumber(*Currency::Parse("1234567.5"), 2, settings), "1.23457E06");
  EXPECT_EQ(FormatReportNumber(*Currency::Parse("123456.5"), 2, settings), "123457.00");
  settings.ThousandSeparator = "\u202f";  // a narrow no-break space, as some locales group
  EXPECT_EQ(FormatReportNumber(*Currency::Parse("1234.5"), 2, settings), "1\u202f234.50");

  const DateTime when = *DateTime::Encode(2024, 5, 2, 9, 5, 59, 999);
  EXPECT_EQ(FormatReportDate(when, settings), "02-05-2024 09.05");
  EXPECT_EQ(FormatReportDate(when, Italian()), "02/05/2024 09:05");
}

TEST(ReportFormatTest, LinesHaveFixedColumnsButNeverCut) {
  EXPECT_EQ(ReportLine("Totale Giorno", "17,50"), "Totale Giorno" + std::string(21, ' ') + "     17,50");
  EXPECT_EQ(ReportLine("Totale Giorno", "17,50").size(), 44u);
  EXPECT_EQ(ReportLine(std::string(40, 'L'), "12345678901"), std::string(40, 'L') + "12345678901");
  // Columns count characters, not bytes.
  EXPECT_EQ(qztext::Utf16Length(ReportLine("Totale", "1\u202f234,50")), 44u);
}

}  // namespace
