// kDeviceHandler: the parameter list and the creation of the I/O handler, with the small text helpers the
// framework shares.

#include "framework/uQzDeviceHandler.h"

#include <charconv>
#include <system_error>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

// The name part of a "name=value" line.
std::string_view LineName(std::string_view aLine) { return aLine.substr(0, aLine.find('=')); }

bool IsRefusedPathCharacter(unsigned char c) {
  return c < 32 || c == '"' || c == '<' || c == '>' || c == '|' || c == '/' || c == '\\';
}

}  // namespace

kDeviceHandler::kDeviceHandler() : fConnection(std::make_unique<kConnection>()) {}

kDeviceHandler::~kDeviceHandler() = default;

std::string kDeviceHandler::GetParameter(std::string_view aName) const {
  for (const std::string& line : fParameters) {
    if (qztext::EqualsIgnoreCaseAscii(LineName(line), aName)) {
      const std::size_t separator = line.find('=');
      return separator == std::string::npos ? std::string() : line.substr(separator + 1);
    }
  }
  return std::string();
}

bool kDeviceHandler::ParameterExists(std::string_view aName) const {
  for (const std::string& line : fParameters) {
    if (qztext::EqualsIgnoreCaseAscii(LineName(line), aName)) return true;
  }
  return false;
}

void kDeviceHandler::SetParameter(const std::string& aName, const std::string& aValue) {
  for (auto it = fParameters.begin(); it != fParameters.end(); ++it) {
    if (!qztext::EqualsIgnoreCaseAscii(LineName(*it), aName)) continue;
    if (aValue.empty()) {
      fParameters.erase(it);
    } else {
      *it = std::string(LineName(*it)) + "=" + aValue;
    }
    return;
  }
  if (!aValue.empty()) fParameters.push_back(aName + "=" + aValue);
}

std::unique_ptr<kIOHandler> kDeviceHandler::CreateIOHandler(const std::string& aLogDir) const {
  // Both parts name the log file inside aLogDir; the log id comes straight from the request.
  CheckPathPart(fDriver);
  CheckPathPart(fLogId);
  const std::string logFileName = fDriver + "_" + fLogId;

  std::unique_ptr<kIOHandler> handler;
  switch (fConnection->ConnectionType()) {
    case qzConnectionType::TCP:
      handler = std::make_unique<kIOHandler_TCP>(fConnection.get(), aLogDir, logFileName);
      break;
    default:
      // Only the TCP transport is built on this platform; every request the framework rewrites asks
      // for it, so another type can come only from a caller that reads envelopes itself.
      throw QzError("Connection type " + kConnection::ConnectionTypeToString(fConnection->ConnectionType()) +
                    " is not available");
  }
  handler->SetHexLog(qztext::ToLowerAscii(GetParameter("HexLog")) == "true");
  return handler;
}

std::int32_t WholeNumberFromText(const std::string& aText) {
  const std::string text = qztext::Trim(aText);
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    throw QzError("'" + aText + "' is not a valid integer value");
  }
  return value;
}

void CheckPathPart(const std::string& aPart) {
  bool refused = aPart == "." || aPart == "..";
  for (const char c : aPart) refused = refused || IsRefusedPathCharacter(static_cast<unsigned char>(c));
  if (refused) throw QzError("Invalid characters in path");
}
