// Text to wire bytes. Without a code page every UTF-16 unit is one byte ("?" when it does not fit);
// with one, the text is encoded in it and a character the code page lacks becomes "?".

#include <errno.h>
#include <iconv.h>

#include <algorithm>
#include <memory>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

constexpr int kCodePageUtf8 = 65001;

// The character set name iconv knows a code page number by.
std::string CharsetOfCodePage(int aCodePage) {
  switch (aCodePage) {
    case 1200:
      return "UTF-16LE";
    case 1201:
      return "UTF-16BE";
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 21866:
      return "KOI8-U";
    case 932:
      return "CP932";
    case 936:
      return "GBK";
    case 949:
      return "CP949";
    case 950:
      return "BIG5";
    case 54936:
      return "GB18030";
    default:
      break;
  }
  if (aCodePage >= 28591 && aCodePage <= 28606) return "ISO-8859-" + std::to_string(aCodePage - 28590);
  return "CP" + std::to_string(aCodePage);
}

struct IconvCloser {
  void operator()(void* aHandle) const { iconv_close(static_cast<iconv_t>(aHandle)); }
};

// Length of the UTF-8 sequence that starts with aLead (1 for a stray byte, so the text always advances).
std::size_t Utf8SequenceLength(unsigned char aLead) {
  if ((aLead & 0xE0) == 0xC0) return 2;
  if ((aLead & 0xF0) == 0xE0) return 3;
  if ((aLead & 0xF8) == 0xF0) return 4;
  return 1;
}

std::string EncodeWithIconv(const std::string& aText, int aCodePage) {
  const std::string charset = CharsetOfCodePage(aCodePage);
  iconv_t handle = iconv_open(charset.c_str(), "UTF-8");
  if (handle == reinterpret_cast<iconv_t>(-1)) {
    throw QzError("Code page " + std::to_string(aCodePage) + " is not supported");
  }
  const std::unique_ptr<void, IconvCloser> closer(handle);
  std::string out;
  out.resize(aText.size() * 4 + 16);
  char* in = const_cast<char*>(aText.data());
  std::size_t inLeft = aText.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    if (iconv(handle, &in, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // A character the code page cannot hold (or a broken sequence): "?" in its place, as the single-byte
    // path does.
    const std::size_t skip = std::min(inLeft, Utf8SequenceLength(static_cast<unsigned char>(*in)));
    in += skip;
    inLeft -= skip;
    if (outLeft == 0) {
      const std::size_t used = static_cast<std::size_t>(outPtr - out.data());
      out.resize(out.size() * 2);
      outPtr = out.data() + used;
      outLeft = out.size() - used;
    }
    *outPtr++ = '?';
    --outLeft;
  }
  out.resize(static_cast<std::size_t>(outPtr - out.data()));
  return out;
}

}  // namespace

std::string kIOHandler::EncodeForWire(const std::string& aText) const {
  if (fCodePage == 0) return qztext::ToSingleByte(aText);
  // Text inside the library is UTF-8 already; a round trip replaces any malformed byte as UTF-16 would.
  if (fCodePage == kCodePageUtf8) return qztext::Utf16ToUtf8(qztext::Utf8ToUtf16(aText));
  return EncodeWithIconv(aText, fCodePage);
}
