#include <gtest/gtest.h>

#include "platform/Currency.h"
#include "platform/DateTime.h"
#include "platform/QzError.h"
#include "platform/Text.h"

TEST(Currency, ParsesDecimalTextExactly) {
  struct Case {
    const char* text;
    std::int64_t raw;
  } cases[] = {
      {"12.5", 125000},
      {"-3.25", -32500},
      {"0", 0},
      {"1234.5678", 12345678},
      {"0.00005", 0},
      {"0.00015", 2},
      {"0.000151", 2},
      {"1E3", 10000000},
      {"2.5e-3", 25},
      {"+7", 70000},
      {"922337203685477.5807", INT64_MAX},
      {"0.00025", 2},
      {"0.00035", 4},
      {"-0.00005", 0},
      {"000012.50", 125000},
      {"0.000050000000000000000000000000000000000000000000000001", 1},
      {"0.0000000000000000000000000000000000000000000000000009", 0},
  };
  for (const auto& c : cases) {
    auto value = Currency::Parse(c.text);
    ASSERT_TRUE(value) << c.text;
    EXPECT_EQ(value->Raw(), c.raw) << c.text;
  }
  for (const char* bad :
       {"", "-", "12,5", "1.2.3", "abc", "1e", "922337203685477.5808", "9999999999999999999", "1e15",
        "100000000000000000000000000000000000000000000000000"}) {
    EXPECT_FALSE(Currency::Parse(bad)) << bad;
  }
  EXPECT_EQ(Currency::Parse("1,234.5", '.', ',')->Raw(), 12345000);
  EXPECT_EQ(Currency::Parse("12,5", ',')->Raw(), 125000);
}

TEST(Currency, TextFormAndRoundedProducts) {
  EXPECT_EQ(Currency::FromRaw(125000).ToText(), "12.5");
  EXPECT_EQ(Currency::FromRaw(-32500).ToText(), "-3.25");
  EXPECT_EQ(Currency::FromUnits(10).ToText(), "10");
  EXPECT_EQ(Currency().ToText(), "0");
  EXPECT_EQ(Currency::FromRaw(INT64_MIN).ToText(), "-922337203685477.5808");
  // round4 ties to even: 0.00005 -> 0, 0.00015 -> 0.0002.
  EXPECT_EQ(Currency::FromDouble(0.00005L).Raw(), 0);
  EXPECT_EQ(Currency::FromDouble(0.00015L).Raw(), 2);
  EXPECT_EQ((Currency::FromUnits(10) * Currency::FromRaw(-3333)).Raw(), -33330);
  EXPECT_EQ((Currency::FromUnits(-10) / Currency::FromUnits(30)).Raw(), -3333);
  EXPECT_THROW(Currency::FromUnits(1) / Currency(), QzError);
  // A total past the 64-bit range is an error, never a wrapped-round amount.
  const Currency big = Currency::FromRaw(INT64_MAX - 1);
  EXPECT_THROW(big + Currency::FromRaw(2), QzError);
  EXPECT_THROW(-big - Currency::FromRaw(3), QzError);
  EXPECT_THROW(-Currency::FromRaw(INT64_MIN), QzError);
  EXPECT_THROW(Currency::FromUnits(INT64_MAX / 1000), QzError);
  EXPECT_EQ((big + Currency::FromRaw(1)).Raw(), INT64_MAX);
}

TEST(DateTime, CalendarRoundTrip) {
  EXPECT_EQ(DateTime::Encode(1899, 12, 30)->Value(), 0.0);
  EXPECT_EQ(DateTime::Encode(2022, 4, 14)->Value(), 44665.0);
  EXPECT_DOUBLE_EQ(DateTime::Encode(1900, 1, 1, 12)->Value(), 2.5);
  auto parts = DateTime::Encode(2024, 2, 29, 23, 59, 58, 999)->Decode();
  EXPECT_EQ(parts.Year, 2024);
  EXPECT_EQ(parts.Month, 2);
  EXPECT_EQ(parts.Day, 29);
  EXPECT_EQ(parts.Hour, 23);
  EXPECT_EQ(parts.Minute, 59);
  EXPECT_EQ(parts.Second, 58);
  EXPECT_EQ(parts.Millisecond, 999);
  EXPECT_FALSE(DateTime::Encode(2023, 2, 29));
  EXPECT_FALSE(DateTime::Encode(2023, 2, 30));
  EXPECT_FALSE(DateTime::Encode(2023, 1, 1, 24));
  auto before = DateTime(-1.25).Decode();
  EXPECT_EQ(before.Day, 29);
  EXPECT_EQ(before.Hour, 6);
}

TEST(Text, Utf16UnitsAndSingleByte) {
  const std::string euro = "\xE2\x82\xAC";      // U+20AC, one unit
  const std::string clef = "\xF0\x9D\x84\x9E";  // U+1D11E, two units
  EXPECT_EQ(qztext::Utf16Length("a" + euro + clef), 4u);
  EXPECT_EQ(qztext::Utf16ToUtf8(qztext::Utf8ToUtf16("x" + euro + clef)), "x" + euro + clef);
  EXPECT_EQ(qztext::ToSingleByte("\xC3\xA0" + euro), "\xE0?");
  EXPECT_EQ(qztext::FromSingleByte("\xE0"), "\xC3\xA0");
  EXPECT_EQ(qztext::Utf16Left("ab" + euro + "c", 3), "ab" + euro);
  EXPECT_EQ(qztext::Utf8ToUtf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(qztext::Trim("  a b\t\r\n"), "a b");
  using Lines = std::vector<std::string>;
  EXPECT_EQ(qztext::SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(qztext::SplitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(qztext::SplitLines(""), Lines{});
}
