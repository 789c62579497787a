// The handler base: creation and destruction of the connection log, its line bodies, the error state and
// the temporary read time-out.

#include <cstdio>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

constexpr const char* kStartBanner = "*************************** START ***************************";
constexpr const char* kStopBanner = "*************************** STOP ****************************";
constexpr const char* kConnectBanner = "*************************************************************";

}  // namespace

kIOHandler::kIOHandler(const kConnection* aConnection, const std::string& aDirectory,
                       const std::string& aFileName) {
  if (aConnection != nullptr) {
    fReadTimeout = aConnection->ReadTimeOut();
    fConnectTimeout = aConnection->ConnectTimeOut();
  }
  if (!aDirectory.empty() && !aFileName.empty()) {
    // One file per driver, log id and day; no cut of long messages: a whole answer is worth keeping.
    fLogger = std::make_unique<tQZ_LogWriter>(aFileName, aDirectory, 0, true);
    fLogger->Write(let_info, kStartBanner);
  }
}

kIOHandler::~kIOHandler() {
  // A concrete handler has released its transport by now, so the stop banner is the last line; destroying
  // the writer drains its queue.
  if (fLogger) {
    fLogger->Write(let_info, kStopBanner);
    fLogger.reset();
  }
}

bool kIOHandler::Connect() {
  Debug(let_info, kConnectBanner);
  Debug(let_info, ClassName());
  Debug(let_info, fVersion);
  Debug(let_info, "ConnectTimeout=" + std::to_string(fConnectTimeout));
  Debug(let_info, "ReadTimeout=" + std::to_string(fReadTimeout));
  return true;
}

void kIOHandler::WriteLog(tQZ_MessageType aEntryType, const std::string& aTitle,
                          const std::string& aMessage) {
  if (!fLogger) return;
  std::string line = aTitle + ":" + aMessage;
  if (fHexLog) line += " [" + TextToHex(aMessage) + "]";
  fLogger->Write(aEntryType, line);
}

void kIOHandler::Debug(tQZ_MessageType aEntryType, const std::string& aMessage) {
  LogRaw(aEntryType, aMessage);
}

void kIOHandler::LogRaw(tQZ_MessageType aEntryType, const std::string& aMessage) {
  if (fLogger) fLogger->Write(aEntryType, aMessage);
}

void kIOHandler::SetCustomError(std::int32_t aErrorCode, const std::string& aErrorMessage) {
  fErrorFound = true;
  fErrorCode = aErrorCode;
  fErrorMessage = aErrorMessage;
}

void kIOHandler::ResetCustomError() {
  fErrorFound = false;
  fErrorCode = 0;
  fErrorMessage.clear();
}

std::string kIOHandler::GetLogFileName() const { return fLogger ? fLogger->FileName() : std::string(); }

void kIOHandler::SetTemporaryReadTimeout(std::int32_t aNewTimeout) {
  LogRaw(let_info, "Set Read Timeout to " + std::to_string(aNewTimeout) + "ms from " +
                       std::to_string(fReadTimeout) + " ms");
  if (aNewTimeout > 0) {
    fTemporaryReadTimeout = fReadTimeout;
    fReadTimeout = aNewTimeout;
  }
}

void kIOHandler::ResetTemporaryReadTimeout() {
  LogRaw(let_info, "Reset Timeout to " + std::to_string(fTemporaryReadTimeout) + " ms");
  if (fTemporaryReadTimeout != 0) fReadTimeout = fTemporaryReadTimeout;
}

std::string kIOHandler::TextToHex(std::string_view aText) {
  const std::u16string units = qztext::Utf8ToUtf16(aText);
  std::string hex;
  hex.reserve(units.size() * 3);
  char digits[8];
  for (const char16_t unit : units) {
    if (!hex.empty()) hex += ' ';
    const int length = std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned>(unit));
    hex.append(digits, static_cast<std::size_t>(length));
  }
  return hex;
}

std::string kIOHandler::FormatAmount(Currency aAmount) { return aAmount.ToText(); }

void kIOHandler::RaiseUnsupported(std::string_view aOperation) {
  throw QzError(std::string(aOperation) + " Unsupported");
}
