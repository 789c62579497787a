#include <gtest/gtest.h>

#include "platform/QzError.h"
#include "platform/TestEnvironment.h"
#include "support/uQZ_Base.h"

namespace {

DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  return *DateTime::Encode(y, mo, d, h, mi, s, ms);
}

TEST(Conversions, DateTimeToXmlIsFixedAndNeverRegional) {
  ScopedEnv italian("LC_ALL", "it_IT.UTF-8");
  EXPECT_EQ(DateTimeToXml(false, At(2024, 5, 2, 9, 5, 3, 120)), "2024-05-02T09:05:03");
  EXPECT_EQ(DateTimeToXml(true, At(2024, 5, 2, 9, 5, 3, 120)), "2024-05-02T09:05:03.120");
  EXPECT_EQ(DateTimeToXml(true, At(2024, 12, 31, 23, 59, 59, 999)), "2024-12-31T23:59:59.999");
  EXPECT_EQ(DateTimeToXml(false, DateTime()), "1899-12-30T00:00:00");
}

TEST(Conversions, XmlToDateTimeReadsFieldsByPosition) {
  struct Case {
    const char* Text;
    DateTime Expected;
  };
  const Case cases[] = {
      {"2024-05-02T09:05:03", At(2024, 5, 2, 9, 5, 3)},
      {"2024-05-02T09:05:03.120Z", At(2024, 5, 2, 9, 5, 3, 120)},
      {"2024-05-02T09:05:03.120", At(2024, 5, 2, 9, 5, 3, 120)},
      // The separators are not checked.
      {"2024/05/02 09.05.03", At(2024, 5, 2, 9, 5, 3)},
      // A short fraction is still a fraction of a second; a zone suffix is no fraction.
      {"2024-05-02T09:05:03.12", At(2024, 5, 2, 9, 5, 3, 120)},
      {"2024-05-02T09:05:03.5Z", At(2024, 5, 2, 9, 5, 3, 500)},
      {"2024-05-02T09:05:03Z", At(2024, 5, 2, 9, 5, 3)},
      {"2024-05-02T09:05:03+02:00", At(2024, 5, 2, 9, 5, 3)},
      {"1899-12-30T00:00:00", DateTime()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(XmlToDateTime(c.Text), c.Expected);
  }
}

TEST(Conversions, XmlToDateTimeRefusesWhatIsNoDateTime) {
  for (const std::string text : {"2024-02-30T00:00:00", "", "2024-05-02", "2024-13-01T00:00:00",
                                 "2024-05-02T24:00:00", "2024-05-02T09:60:00", "abcd-05-02T09:05:03",
                                 "2024-05-02T09:05:0x", "2024- 5-02T09:05:03", "2024-05-02T09:05:3"}) {
    SCOPED_TRACE(text);
    try {
      XmlToDateTime(text);
      ADD_FAILURE() << "accepted";
    } catch (const QzError& e) {
      EXPECT_EQ(std::string(e.what()), "DateTime Format invalid: [" + text + "]");
    }
  }
}

TEST(Conversions, AmountAndBooleanTexts) {
  ScopedEnv italian("LC_ALL", "it_IT.UTF-8");
  EXPECT_EQ(CurrencyToXml(*Currency::Parse("1234.5")), "1234.5");
  EXPECT_EQ(CurrencyToXml(*Currency::Parse("-3.25")), "-3.25");
  EXPECT_EQ(CurrencyToXml(Currency()), "0");
  EXPECT_EQ(CurrencyToXml(*Currency::Parse("1234.5678")), "1234.5678");
  EXPECT_EQ(BooleanToXml(true), "True");
  EXPECT_EQ(BooleanToXml(false), "False");
}

TEST(Conversions, RoundCurrency2HalvesAwayFromZero) {
  const std::pair<const char*, const char*> cases[] = {
      {"2.345", "2.35"}, {"-2.345", "-2.35"}, {"2.3449", "2.34"}, {"0.005", "0.01"}, {"-0.005", "-0.01"},
      {"0.0049", "0"},   {"-0.0049", "0"},    {"12", "12"},       {"-7.9951", "-8"}, {"99.9999", "100"},
  };
  for (const auto& [input, expected] : cases) {
    SCOPED_TRACE(input);
    EXPECT_EQ(RoundCurrency2(*Currency::Parse(input)).ToText(), expected);
  }
}

TEST(Conversions, FormatNumberZeroPadded) {
  struct Case {
    double Number;
    int Digits;
    int Decimals;
    const char* Separator;
    bool Sign;
    const char* Expected;
  };
  const Case cases[] = {
      {7, 4, 0, ".", false, "0007"},     {123, 4, 0, ".", false, "0123"},  {12345, 4, 0, ".", false, "2345"},
      {0, 4, 0, ".", false, "0000"},     {9999, 4, 0, ".", false, "9999"}, {2.5, 4, 0, ".", false, "0003"},
      {1.5, 6, 2, ",", false, "001,50"}, {1.5, 6, 2, "", false, "000150"}, {-7, 4, 0, ".", true, "-007"},
      {-7, 4, 0, ".", false, "00-7"},    {7, 0, 0, ".", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Expected);
    EXPECT_EQ(FormatNumberZeroPadded(c.Number, c.Digits, c.Decimals, c.Separator, c.Sign), c.Expected);
  }
}

TEST(Conversions, ExtractDelimitedField) {
  struct Case {
    const char* Text;
    int Field;
    bool ToEnd;
    const char* Expected;
  };
  const Case cases[] = {
      {"a=b=c", 1, false, "a"}, {"a=b=c", 2, false, "b"},  {"a=b=c", 3, false, "c"},
      {"a=b=c", 4, false, ""},  {"a=b=c", 2, true, "b=c"}, {"a=b=c", 1, true, "a=b=c"},
      {"a=b=c", 0, false, ""},  {"", 1, false, ""},        {"a==c", 2, false, ""},
      {"abc", 1, false, "abc"}, {"abc", 2, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.Text) + " field " + std::to_string(c.Field));
    EXPECT_EQ(ExtractDelimitedField(c.Text, c.Field, '=', c.ToEnd), c.Expected);
  }
}

TEST(Conversions, CountOccurrencesIncludesOverlaps) {
  EXPECT_EQ(CountOccurrences("aaaa", "aaa"), 2);
  EXPECT_EQ(CountOccurrences("a;b;c", ";"), 2);
  EXPECT_EQ(CountOccurrences("abc", "x"), 0);
  EXPECT_EQ(CountOccurrences("abc", ""), 0);
  EXPECT_EQ(CountOccurrences("ab", "abc"), 0);
}

TEST(Conversions, TimeOfDayToMilliseconds) {
  EXPECT_EQ(TimeOfDayToMilliseconds(At(2024, 5, 2, 9, 5, 3, 120)), 32703120);
  EXPECT_EQ(TimeOfDayToMilliseconds(At(1850, 1, 1, 23, 59, 59, 999)), 86399999);
  EXPECT_EQ(TimeOfDayToMilliseconds(At(2024, 5, 2)), 0);
}

TEST(Conversions, CommandLineParameterMatching) {
  const std::vector<std::string> parameters = {"/Batch=1", "/batchmode", "/LOG:/var/log/pos", "/debug",
                                               "/test:"};
  struct Case {
    const char* Name;
    bool Whole;
    const char* Expected;
  };
  const Case cases[] = {
      {"/BATCH", true, "/Batch=1"},    {"/batch", false, "1"},
      {"/log", false, "/var/log/pos"}, {"/log", true, "/LOG:/var/log/pos"},
      {"/DEBUG", true, "/debug"},      {"/DEBUG", false, ""},
      {"/test", true, "/test:"},       {"/batchm", true, ""},  // a longer parameter is no match
      {"/missing", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(GetCommandLineParameter(parameters, c.Name, c.Whole), c.Expected);
  }
  EXPECT_EQ(GetCommandLineParameter({"/batchmode"}, "/BATCH", true), "");
}

}  // namespace
