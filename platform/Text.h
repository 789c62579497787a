#pragma once
// Text helpers. Text inside the library is UTF-8 std::string; the system's own rules count UTF-16 code
// units (hex renderings, message cuts, one byte per character on the wire), so these helpers give the
// results UTF-16 would give. Malformed UTF-8 is read as U+FFFD, one per bad byte.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qztext {

std::u16string Utf8ToUtf16(std::string_view aText);
std::string Utf16ToUtf8(std::u16string_view aText);

// Number of UTF-16 code units the text takes.
std::size_t Utf16Length(std::string_view aText);
// The first aCount UTF-16 units (a surrogate pair cut in half keeps its lone high half, as UTF-16 would;
// that half is written back as U+FFFD).
std::string Utf16Left(std::string_view aText, std::size_t aCount);

// One byte per UTF-16 unit in the system's single-byte code page (ISO-8859-1): units above 255 become '?'.
std::string ToSingleByte(std::string_view aText);
// Each byte read as an ISO-8859-1 character.
std::string FromSingleByte(std::string_view aBytes);

// ASCII case folding (the system's words are ASCII).
std::string ToLowerAscii(std::string_view aText);
std::string ToUpperAscii(std::string_view aText);
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);

// Lines end at CR LF, LF or CR; a line break at the very end does not start another line, and the empty
// text has no lines.
std::vector<std::string> SplitLines(std::string_view aText);

// Leading and trailing characters up to and including blank (control characters and spaces).
std::string Trim(std::string_view aText);

}  // namespace qztext
