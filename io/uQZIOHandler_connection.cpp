// The connection settings and the text forms of their enumerations.

#include <array>
#include <utility>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

void kConnection::SetConnectTimeOut(std::int32_t aValue) {
  if (aValue > 0) fConnectTimeout = aValue;
}

void kConnection::SetReadTimeOut(std::int32_t aValue) {
  if (aValue > 0) fReadTimeout = aValue;
}

namespace {

// Reading order matters only in that the first match wins; the words are distinct.
constexpr std::array<std::pair<const char*, qzConnectionType>, 7> kConnectionTypeWords{{
    {"serial", qzConnectionType::Serial},
    {"http", qzConnectionType::HTTP},
    {"tcp", qzConnectionType::TCP},
    {"opos", qzConnectionType::OPOS},
    {"dll", qzConnectionType::DLL},
    {"com", qzConnectionType::Com},
    {"spool", qzConnectionType::Spool},
}};

constexpr std::array<std::pair<const char*, qzParity>, 3> kParityWords{{
    {"none", qzParity::None},
    {"odd", qzParity::Odd},
    {"even", qzParity::Even},
}};

constexpr std::array<std::pair<const char*, qzHTTPAuthType>, 4> kAuthTypeWords{{
    {"none", at_None},
    {"basic", at_Basic},
    {"digest", at_Digest},
    {"bearer", at_Bearer},
}};

}  // namespace

qzConnectionType kConnection::ConvertConnectionType(const std::string& aString) {
  const std::string lower = qztext::ToLowerAscii(aString);
  for (const auto& [word, value] : kConnectionTypeWords) {
    if (lower == word) return value;
  }
  throw QzError("Connection Type " + aString + " is not valid");
}

std::string kConnection::ConnectionTypeToString(qzConnectionType aValue) {
  switch (aValue) {
    case qzConnectionType::OPOS:
      return "OPOS";
    case qzConnectionType::TCP:
      return "TCP";
    case qzConnectionType::HTTP:
      return "HTTP";
    case qzConnectionType::Serial:
      return "SERIAL";
    case qzConnectionType::DLL:
      return "DLL";
    case qzConnectionType::Com:
      return "COM";
    case qzConnectionType::Spool:
      return "SPOOL";
  }
  return "";
}

qzParity kConnection::ConvertParity(const std::string& aString) {
  const std::string lower = qztext::ToLowerAscii(aString);
  for (const auto& [word, value] : kParityWords) {
    if (lower == word) return value;
  }
  throw QzError("Connection Parity " + aString + " is not valid");
}

std::string kConnection::ParityToString(qzParity aValue) {
  switch (aValue) {
    case qzParity::None:
      return "NONE";
    case qzParity::Even:
      return "EVEN";
    case qzParity::Odd:
      return "ODD";
  }
  return "";
}

qzHTTPAuthType kConnection::ConvertAuthType(const std::string& aString) {
  const std::string lower = qztext::ToLowerAscii(aString);
  for (const auto& [word, value] : kAuthTypeWords) {
    if (lower == word) return value;
  }
  // An unknown word means no authentication rather than a refused request.
  return at_None;
}

std::string kConnection::AuthTypeToString(qzHTTPAuthType aValue) {
  switch (aValue) {
    case at_None:
      return "NONE";
    case at_Basic:
      return "BASIC";
    case at_Digest:
      return "DIGEST";
    case at_Bearer:
      return "BEARER";
  }
  return "";
}
