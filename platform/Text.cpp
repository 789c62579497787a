#include "platform/Text.h"

namespace qztext {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at aPos and advances it; malformed input gives U+FFFD and advances one byte.
char32_t NextCodePoint(std::string_view s, std::size_t& aPos) {
  const auto b0 = static_cast<unsigned char>(s[aPos]);
  if (b0 < 0x80) {
    ++aPos;
    return b0;
  }
  int length = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if ((b0 & 0xE0) == 0xC0) {
    length = 2, cp = b0 & 0x1F, minimum = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, cp = b0 & 0x0F, minimum = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, cp = b0 & 0x07, minimum = 0x10000;
  } else {
    ++aPos;
    return kReplacement;
  }
  if (aPos + length > s.size()) {
    ++aPos;
    return kReplacement;
  }
  for (int i = 1; i < length; ++i) {
    const auto b = static_cast<unsigned char>(s[aPos + i]);
    if ((b & 0xC0) != 0x80) {
      ++aPos;
      return kReplacement;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++aPos;
    return kReplacement;
  }
  aPos += length;
  return cp;
}

void AppendUtf8(std::string& aOut, char32_t cp) {
  if (cp < 0x80) {
    aOut += static_cast<char>(cp);
  } else if (cp < 0x800) {
    aOut += static_cast<char>(0xC0 | (cp >> 6));
    aOut += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    aOut += static_cast<char>(0xE0 | (cp >> 12));
    aOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    aOut += static_cast<char>(0xF0 | (cp >> 18));
    aOut += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    aOut += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    aOut += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view aText) {
  std::u16string out;
  out.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size();) {
    const char32_t cp = NextCodePoint(aText, i);
    if (cp >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view aText) {
  std::string out;
  out.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size(); ++i) {
    char32_t cp = aText[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < aText.size() && aText[i + 1] >= 0xDC00 &&
        aText[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (aText[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = kReplacement;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

std::size_t Utf16Length(std::string_view aText) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < aText.size();) units += NextCodePoint(aText, i) >= 0x10000 ? 2 : 1;
  return units;
}

std::string Utf16Left(std::string_view aText, std::size_t aCount) {
  return Utf16ToUtf8(std::u16string_view(Utf8ToUtf16(aText)).substr(0, aCount));
}

std::string ToSingleByte(std::string_view aText) {
  std::string out;
  out.reserve(aText.size());
  for (std::size_t i = 0; i < aText.size();) {
    const char32_t cp = NextCodePoint(aText, i);
    if (cp >= 0x10000) {
      out += "??";  // two UTF-16 units, two bytes
    } else {
      out += cp <= 0xFF ? static_cast<char>(cp) : '?';
    }
  }
  return out;
}

std::string FromSingleByte(std::string_view aBytes) {
  std::string out;
  out.reserve(aBytes.size());
  for (char c : aBytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string ToLowerAscii(std::string_view aText) {
  std::string out(aText);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string ToUpperAscii(std::string_view aText) {
  std::string out(aText);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<std::string> SplitLines(std::string_view aText) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < aText.size()) {
    const std::size_t end = aText.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(aText.substr(start));
      break;
    }
    lines.emplace_back(aText.substr(start, end - start));
    start = end + ((aText[end] == '\r' && end + 1 < aText.size() && aText[end + 1] == '\n') ? 2 : 1);
  }
  return lines;
}

std::string Trim(std::string_view aText) {
  std::size_t first = 0;
  std::size_t last = aText.size();
  while (first < last && static_cast<unsigned char>(aText[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(aText[last - 1]) <= ' ') --last;
  return std::string(aText.substr(first, last - first));
}

}  // namespace qztext
