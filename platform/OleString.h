#pragma once
// OLE strings, the texts that cross the library boundary: a pointer to UTF-16LE code units, preceded by a
// 32-bit byte length and followed by a 0 unit. A null BSTR is the empty text. Hosts allocate the texts they
// pass in and free the texts they receive with the exported functions below.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/Export.h"

typedef char16_t* BSTR;

// A new string of aLength units copied from aText; with a null aText the units are left uninitialised (but
// terminated). Null when the memory cannot be had.
QZ_EXPORT BSTR SysAllocStringLen(const char16_t* aText, std::uint32_t aLength);
// A copy of the 0-terminated aText; null for a null aText.
QZ_EXPORT BSTR SysAllocString(const char16_t* aText);
// Releases a string made by SysAllocString(Len); null is ignored.
QZ_EXPORT void SysFreeString(BSTR aText);
// Length in UTF-16 units (0 for null).
QZ_EXPORT std::uint32_t SysStringLen(BSTR aText);
// Length in bytes (0 for null).
QZ_EXPORT std::uint32_t SysStringByteLen(BSTR aText);

// The library's side of the boundary: UTF-8 inside, OLE strings outside.
std::string BstrToUtf8(const char16_t* aText);  // null gives ""; the stored length is honoured
BSTR Utf8ToBstr(std::string_view aText);        // "" gives nullptr; the caller owns the result

// Owns one BSTR and frees it with SysFreeString.
struct BstrDeleter {
  void operator()(char16_t* aText) const { SysFreeString(aText); }
};
