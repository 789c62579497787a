#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/OleString.h"

namespace {

using BstrPtr = std::unique_ptr<char16_t, BstrDeleter>;

std::uint32_t StoredByteLength(BSTR aText) {
  std::uint32_t length;
  std::memcpy(&length, reinterpret_cast<char*>(aText) - 4, 4);
  return length;
}

TEST(OleString, LayoutIsLengthPrefixedAndTerminated) {
  const char16_t source[] = u"ab\0cd";  // an embedded 0 unit is part of the text
  BstrPtr text(SysAllocStringLen(source, 5));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(StoredByteLength(text.get()), 10u);
  EXPECT_EQ(SysStringLen(text.get()), 5u);
  EXPECT_EQ(SysStringByteLen(text.get()), 10u);
  EXPECT_EQ(std::memcmp(text.get(), source, 10), 0);
  EXPECT_EQ(text.get()[5], 0);

  BstrPtr copy(SysAllocString(u"Grüße €"));
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(SysStringLen(copy.get()), 7u);
  EXPECT_EQ(std::u16string(copy.get()), u"Grüße €");
}

TEST(OleString, NullIsTheEmptyText) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
  EXPECT_EQ(BstrToUtf8(nullptr), "");
  EXPECT_EQ(Utf8ToBstr(""), nullptr);

  BstrPtr empty(SysAllocString(u""));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SysStringLen(empty.get()), 0u);
  EXPECT_EQ(BstrToUtf8(empty.get()), "");
}

TEST(OleString, NullSourceGivesTerminatedStorageOfThatLength) {
  BstrPtr text(SysAllocStringLen(nullptr, 3));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringLen(text.get()), 3u);
  EXPECT_EQ(text.get()[3], 0);
  std::memcpy(text.get(), u"xyz", 6);  // the storage is the caller's to fill
  EXPECT_EQ(BstrToUtf8(text.get()), "xyz");
}

TEST(OleString, ImpossibleLengthAnswersNull) { EXPECT_EQ(SysAllocStringLen(nullptr, 0xFFFFFFFFu), nullptr); }

TEST(OleString, Utf8RoundTripKeepsEveryCharacter) {
  const std::string text = "<Receipt>Caffè 😀 ₿</Receipt>";
  BstrPtr converted(Utf8ToBstr(text));
  ASSERT_NE(converted, nullptr);
  // The emoji takes two UTF-16 units.
  EXPECT_EQ(SysStringLen(converted.get()), 29u);
  EXPECT_EQ(BstrToUtf8(converted.get()), text);
}

}  // namespace
