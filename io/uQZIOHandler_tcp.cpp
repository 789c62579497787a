// The TCP handler: connect, write, and the reads with their end conditions and log lines. What a caller
// observes is byte-by-byte reading; underneath, the client receives in blocks and the reads take runs of
// bytes from its input buffer, so a read that stops early leaves the rest for the next one.

#include <algorithm>
#include <chrono>
#include <utility>

#include "io/uQZIOHandler.h"
#include "platform/QzError.h"
#include "platform/Text.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kPeerClosedText = "Connection closed by peer";

const kConnection* RequireConnection(const kConnection* aConnection) {
  if (aConnection == nullptr) throw QzError("Connection settings are missing");
  return aConnection;
}

long long MillisecondsSince(Clock::time_point aStart) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - aStart).count();
}

// Received bytes as text: each byte is the character with the same code. Answers are mostly ASCII, which
// is its own UTF-8 form and needs no conversion.
std::string BytesToText(std::string aBytes) {
  const bool ascii = std::all_of(aBytes.begin(), aBytes.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii) return aBytes;
  return qztext::FromSingleByte(aBytes);
}

}  // namespace

kIOHandler_TCP::kIOHandler_TCP(const kConnection* aConnection, const std::string& aDirectory,
                               const std::string& aFileName)
    : kIOHandler(RequireConnection(aConnection), aDirectory, aFileName),
      fTCPClient(std::make_unique<TcpClient>()) {
  fTCPClient->SetHost(aConnection->Address());
  fTCPClient->SetPort(static_cast<std::uint16_t>(aConnection->Port() & 0xFFFF));
  fTCPClient->SetConnectTimeout(ConnectTimeout());
}

kIOHandler_TCP::~kIOHandler_TCP() {
  // The connection goes before the base writes its stop banner.
  fTCPClient.reset();
}

bool kIOHandler_TCP::GetConnected() {
  try {
    return fTCPClient->Connected();
  } catch (const std::exception&) {
    return false;
  }
}

bool kIOHandler_TCP::Connect() {
  kIOHandler::Connect();
  Debug(let_info, "Host=" + fTCPClient->Host());
  Debug(let_info, "Port=" + std::to_string(fTCPClient->Port()));
  try {
    // An open connection stays open: a second Connect does not start another exchange.
    if (fTCPClient->Connected()) return true;
    // The banner shows ConnectTimeout; the connect uses the same value even if the owner changed it.
    fTCPClient->SetConnectTimeout(ConnectTimeout());
    if (fTCPClient->Connect()) return true;
    WriteLog(let_error, "Connect Timeout", "");
    return false;
  } catch (const std::exception& e) {
    WriteLog(let_error, "Connect Error", e.what());
    return false;
  }
}

bool kIOHandler_TCP::Disconnect() {
  if (fTCPClient->Connected()) fTCPClient->Disconnect();
  return !fTCPClient->Connected();
}

void kIOHandler_TCP::ClearBuffers() { fTCPClient->ClearInput(); }

bool kIOHandler_TCP::InputBufferContainsData() { return !fTCPClient->InputEmpty(); }

bool kIOHandler_TCP::Write(const std::string& aMessage) {
  WriteLog(let_info, "Write", aMessage);
  fTCPClient->SetSendTimeout(ReadTimeout());
  fTCPClient->Send(EncodeForWire(aMessage));
  return true;
}

bool kIOHandler_TCP::WriteBytes(const std::vector<std::uint8_t>& aBytes) {
  std::string shown;
  shown.reserve(aBytes.size());
  for (const std::uint8_t byte : aBytes) shown += byte > 127 ? '?' : static_cast<char>(byte);
  WriteLog(let_info, "Write", shown);
  fTCPClient->SetSendTimeout(ReadTimeout());
  fTCPClient->Send(std::string_view(reinterpret_cast<const char*>(aBytes.data()), aBytes.size()));
  return true;
}

std::string kIOHandler_TCP::ReadAll() {
  fReadLimitExceeded = false;
  fTCPClient->SetReadTimeout(ReadTimeout());
  std::string received;
  const auto start = Clock::now();
  for (;;) {
    std::string error;
    switch (fTCPClient->WaitForInput(error)) {
      case TcpClient::WaitResult::Data:
        break;
      case TcpClient::WaitResult::PeerClosed: {
        // The proxy closes the connection to end its answer: the close is the only end-of-message mark.
        std::string result = BytesToText(std::move(received));
        WriteLog(let_info, "Read", result);
        return result;
      }
      case TcpClient::WaitResult::TimedOut:
      case TcpClient::WaitResult::Failed:
        WriteLog(let_error, "ReadAll Unexpected error", error);
        return BytesToText(std::move(received));
    }
    // The time is tested after each byte that arrives; every byte already in the buffer arrived by now.
    const bool overTime = MillisecondsSince(start) > ReadTimeout();
    std::string_view input = fTCPClient->Input();
    std::size_t take = overTime ? 1 : input.size();
    bool overSize = false;
    if (fMaxReadSize > 0 && received.size() + take > fMaxReadSize) {
      take = fMaxReadSize - received.size();
      overSize = true;
    }
    received.append(input.substr(0, take));
    fTCPClient->Consume(take);
    if (overSize) {
      fReadLimitExceeded = true;
      WriteLog(let_error, "ReadAll Unexpected error",
               "Answer larger than " + std::to_string(fMaxReadSize) + " bytes");
      return BytesToText(std::move(received));
    }
    if (overTime) {
      std::string result = BytesToText(std::move(received));
      WriteLog(let_error, "Read Timeout", result);
      return result;
    }
  }
}

std::string kIOHandler_TCP::ReadUpTo(const std::vector<std::uint8_t>& aChars) {
  fTCPClient->SetReadTimeout(ReadTimeout());
  if (HasLog()) {
    std::string characters;
    std::string hex;
    for (std::size_t i = 0; i < aChars.size(); ++i) {
      const std::string character = BytesToText(std::string(1, static_cast<char>(aChars[i])));
      if (i > 0) {
        characters += ',';
        hex += ',';
      }
      characters += character;
      hex += TextToHex(character);
    }
    LogRaw(let_info, "Waiting for:" + characters + (HexLog() ? " [" + hex + "]" : std::string()));
  }
  std::string received;
  const auto start = Clock::now();
  for (;;) {
    std::string error;
    const TcpClient::WaitResult waited = fTCPClient->WaitForInput(error);
    if (waited != TcpClient::WaitResult::Data) {
      WriteLog(let_error, "ReadUpTo Unexpected error",
               waited == TcpClient::WaitResult::PeerClosed ? kPeerClosedText : error);
      return BytesToText(std::move(received));
    }
    const bool overTime = MillisecondsSince(start) > ReadTimeout();
    const std::string_view input = fTCPClient->Input();
    std::size_t take = overTime ? 1 : input.size();
    bool terminated = false;
    const auto terminator =
        std::find_if(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(take), [&aChars](char aByte) {
          return std::find(aChars.begin(), aChars.end(), static_cast<std::uint8_t>(aByte)) != aChars.end();
        });
    if (terminator != input.begin() + static_cast<std::ptrdiff_t>(take)) {
      take = static_cast<std::size_t>(terminator - input.begin()) + 1;
      terminated = true;
    }
    received.append(input.substr(0, take));
    fTCPClient->Consume(take);
    if (overTime || terminated) {
      std::string result = BytesToText(std::move(received));
      // Running out of time wins even when the last byte was a terminator.
      if (overTime) {
        WriteLog(let_error, "Read Timeout", result);
      } else {
        WriteLog(let_info, "Read", result);
      }
      return result;
    }
  }
}

std::string kIOHandler_TCP::ReadChars(int aCharsNum) {
  fTCPClient->SetReadTimeout(ReadTimeout());
  std::string result;
  if (aCharsNum > 0) {
    const auto count = static_cast<std::size_t>(aCharsNum);
    std::string error;
    const TcpClient::WaitResult waited = fTCPClient->WaitForInputCount(count, error);
    if (waited != TcpClient::WaitResult::Data) {
      // The bytes that did arrive stay in the buffer for the next read.
      WriteLog(let_error, "ReadChars Unexpected error",
               waited == TcpClient::WaitResult::PeerClosed ? kPeerClosedText : error);
      return std::string();
    }
    result = BytesToText(std::string(fTCPClient->Input().substr(0, count)));
    fTCPClient->Consume(count);
  }
  std::string message = result;
  if (HexLog()) message += " [" + TextToHex(result) + "]";
  if (static_cast<long long>(qztext::Utf16Length(result)) < aCharsNum) {
    WriteLog(let_error, "Read Timeout", message);
  } else {
    WriteLog(let_info, "Read", message);
  }
  return result;
}

std::vector<std::uint8_t> kIOHandler_TCP::ReadBytes(int aCount) {
  if (aCount <= 0) return {};
  const auto count = static_cast<std::size_t>(aCount);
  std::string error;
  const TcpClient::WaitResult waited = fTCPClient->WaitForInputCount(count, error);
  if (waited == TcpClient::WaitResult::PeerClosed) throw QzError(kPeerClosedText);
  if (waited != TcpClient::WaitResult::Data) throw QzError(error);
  const std::string_view input = fTCPClient->Input().substr(0, count);
  std::vector<std::uint8_t> bytes(input.begin(), input.end());
  fTCPClient->Consume(count);
  return bytes;
}

std::string kIOHandler_TCP::DecodeError(int /*aErrorCode*/) { return std::string(); }

void kIOHandler_TCP::SetParameter(const std::string& /*aName*/, const std::string& /*aValue*/) {}
