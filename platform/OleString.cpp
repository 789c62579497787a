#include "platform/OleString.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

#include "platform/Text.h"

namespace {

// The 32-bit byte length sits just before the first unit.
constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

std::uint32_t* PrefixOf(const char16_t* aText) {
  return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(const_cast<char16_t*>(aText)) -
                                          kPrefixBytes);
}

}  // namespace

QZ_EXPORT BSTR SysAllocStringLen(const char16_t* aText, std::uint32_t aLength) {
  // The byte length must fit the 32-bit prefix.
  if (aLength > (std::numeric_limits<std::uint32_t>::max() - kPrefixBytes - sizeof(char16_t)) / 2)
    return nullptr;
  const std::uint32_t byteLength = aLength * 2;
  void* block = std::malloc(kPrefixBytes + byteLength + sizeof(char16_t));
  if (block == nullptr) return nullptr;
  std::memcpy(block, &byteLength, kPrefixBytes);
  auto* text = reinterpret_cast<char16_t*>(static_cast<char*>(block) + kPrefixBytes);
  if (aText != nullptr && aLength > 0) std::memcpy(text, aText, byteLength);
  text[aLength] = 0;
  return text;
}

QZ_EXPORT BSTR SysAllocString(const char16_t* aText) {
  if (aText == nullptr) return nullptr;
  std::size_t length = 0;
  while (aText[length] != 0) ++length;
  if (length > std::numeric_limits<std::uint32_t>::max()) return nullptr;
  return SysAllocStringLen(aText, static_cast<std::uint32_t>(length));
}

QZ_EXPORT void SysFreeString(BSTR aText) {
  if (aText != nullptr) std::free(PrefixOf(aText));
}

QZ_EXPORT std::uint32_t SysStringByteLen(BSTR aText) {
  if (aText == nullptr) return 0;
  std::uint32_t byteLength;
  std::memcpy(&byteLength, PrefixOf(aText), kPrefixBytes);
  return byteLength;
}

QZ_EXPORT std::uint32_t SysStringLen(BSTR aText) { return SysStringByteLen(aText) / 2; }

std::string BstrToUtf8(const char16_t* aText) {
  if (aText == nullptr) return {};
  const std::uint32_t length = SysStringLen(const_cast<BSTR>(aText));
  return qztext::Utf16ToUtf8(std::u16string_view(aText, length));
}

BSTR Utf8ToBstr(std::string_view aText) {
  if (aText.empty()) return nullptr;
  const std::u16string units = qztext::Utf8ToUtf16(aText);
  if (units.size() > std::numeric_limits<std::uint32_t>::max()) throw std::bad_alloc();
  BSTR result = SysAllocStringLen(units.data(), static_cast<std::uint32_t>(units.size()));
  // A lost answer would read as the empty text: fail loudly instead.
  if (result == nullptr) throw std::bad_alloc();
  return result;
}
