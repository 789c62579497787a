#pragma once
// The device I/O unit: the connection settings a request carries (kConnection) and the I/O handler family
// a fiscal processor talks through (kIOHandler and one handler per connection type). Every handler keeps one
// connection log, written through WriteLog and Debug, and an error state its owner reads after an
// operation.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/TcpClient.h"
#include "io/uQZ_HTTPClient.h"
#include "platform/Currency.h"
#include "support/uQZ_Base_Defs.h"
#include "support/uQZ_LogWriter.h"

enum class qzConnectionType { OPOS = 0, TCP = 1, HTTP = 2, Serial = 3, DLL = 4, Com = 5, Spool = 6 };
enum class qzParity { None = 0, Even = 1, Odd = 2 };
enum class qzSpoolOutputType { Raw = 0, Normal = 1 };

// The connection settings of a request: a plain record the device handler fills from the request's
// Connection element before it creates the matching handler.
class kConnection {
 public:
  kConnection() = default;

  const std::string& Address() const { return fAddress; }
  void SetAddress(const std::string& aValue) { fAddress = aValue; }
  std::int32_t Port() const { return fPort; }
  void SetPort(std::int32_t aValue) { fPort = aValue; }
  const std::string& URL() const { return fURL; }
  void SetURL(const std::string& aValue) { fURL = aValue; }
  qzHTTPAuthType AuthType() const { return fAuthType; }
  void SetAuthType(qzHTTPAuthType aValue) { fAuthType = aValue; }
  const std::string& User() const { return fUser; }
  void SetUser(const std::string& aValue) { fUser = aValue; }
  const std::string& Password() const { return fPassword; }
  void SetPassword(const std::string& aValue) { fPassword = aValue; }
  const std::string& SerialPort() const { return fSerialPort; }
  void SetSerialPort(const std::string& aValue) { fSerialPort = aValue; }
  std::int32_t Speed() const { return fSpeed; }
  void SetSpeed(std::int32_t aValue) { fSpeed = aValue; }
  std::int32_t DataBits() const { return fDataBits; }
  void SetDataBits(std::int32_t aValue) { fDataBits = aValue; }
  qzParity Parity() const { return fParity; }
  void SetParity(qzParity aValue) { fParity = aValue; }
  std::int32_t StopBits() const { return fStopBits; }
  void SetStopBits(std::int32_t aValue) { fStopBits = aValue; }
  const std::string& DeviceName() const { return fDeviceName; }
  void SetDeviceName(const std::string& aValue) { fDeviceName = aValue; }
  const std::string& LibraryName() const { return fLibraryName; }
  void SetLibraryName(const std::string& aValue) { fLibraryName = aValue; }
  const std::string& PrinterName() const { return fPrinterName; }
  void SetPrinterName(const std::string& aValue) { fPrinterName = aValue; }
  qzConnectionType ConnectionType() const { return fConnectionType; }
  void SetConnectionType(qzConnectionType aValue) { fConnectionType = aValue; }
  // A time-out of 0 or less is not a time-out: writing one keeps the current value.
  std::int32_t ConnectTimeOut() const { return fConnectTimeout; }
  void SetConnectTimeOut(std::int32_t aValue);
  std::int32_t ReadTimeOut() const { return fReadTimeout; }
  void SetReadTimeOut(std::int32_t aValue);

  // Text forms of the enumerations: read case-insensitively, written in one fixed upper-case word.
  // ConvertConnectionType and ConvertParity throw QzError for a word they do not know; ConvertAuthType
  // reads an unknown word as at_None.
  static qzConnectionType ConvertConnectionType(const std::string& aString);
  static std::string ConnectionTypeToString(qzConnectionType aValue);
  static qzParity ConvertParity(const std::string& aString);
  static std::string ParityToString(qzParity aValue);
  static qzHTTPAuthType ConvertAuthType(const std::string& aString);
  static std::string AuthTypeToString(qzHTTPAuthType aValue);

 private:
  std::string fAddress;
  std::int32_t fPort = 0;
  std::string fURL;
  qzHTTPAuthType fAuthType = at_None;
  std::string fUser;
  std::string fPassword;
  std::string fSerialPort;
  std::int32_t fSpeed = 0;
  std::int32_t fDataBits = 0;
  qzParity fParity = qzParity::None;
  std::int32_t fStopBits = 0;
  std::string fDeviceName;
  std::string fLibraryName;
  std::string fPrinterName;
  qzConnectionType fConnectionType = qzConnectionType::OPOS;
  std::int32_t fConnectTimeout = 1000;
  std::int32_t fReadTimeout = 1000;
};

// The abstract I/O handler. A concrete handler's constructor is the virtual constructor Create: the base
// part copies the time-outs from the settings and opens the connection log (only when both a directory and
// a file name are given; without a log every log operation does nothing). The destructor writes the stop
// banner, after the concrete handler has released its transport, and drains the log.
class kIOHandler {
 public:
  kIOHandler(const kConnection* aConnection, const std::string& aDirectory, const std::string& aFileName);
  virtual ~kIOHandler();
  kIOHandler(const kIOHandler&) = delete;
  kIOHandler& operator=(const kIOHandler&) = delete;

  // The operations every handler answers, in slot order (slot 1, Create, is the constructor).
  virtual bool GetConnected() = 0;  // slot 0
  // Slot 2. The base writes the banner block (61 asterisks, the class name, the version, the time-outs)
  // and answers true; a handler's Connect runs it first.
  virtual bool Connect();
  virtual bool Disconnect() = 0;                                                       // slot 3
  virtual void ClearBuffers() = 0;                                                     // slot 4
  virtual bool Write(const std::string& aMessage) = 0;                                 // slot 5
  virtual std::string ReadUpTo(const std::vector<std::uint8_t>& aChars) = 0;           // slot 6
  virtual std::string ReadChars(int aCharsNum) = 0;                                    // slot 7
  virtual std::string ReadAll() = 0;                                                   // slot 8
  virtual std::string DecodeError(int aErrorCode) = 0;                                 // slot 9
  virtual bool InputBufferContainsData() = 0;                                          // slot 10
  virtual void SetParameter(const std::string& aName, const std::string& aValue) = 0;  // slot 11

  // The concrete handler's class name, written by Connect.
  virtual const char* ClassName() const = 0;

  bool Connected() { return GetConnected(); }

  // A titled line: aTitle + ":" + aMessage, with " [" + hex + "]" when HexLog is on.
  void WriteLog(tQZ_MessageType aEntryType, const std::string& aTitle, const std::string& aMessage);
  // A plain line, never with a hexadecimal rendering.
  void Debug(tQZ_MessageType aEntryType, const std::string& aMessage);

  void SetCustomError(std::int32_t aErrorCode, const std::string& aErrorMessage);
  void ResetCustomError();
  // Full path of the connection log, or empty when the handler has no log.
  std::string GetLogFileName() const;

  // Stretches the read time-out for one exchange (a value of 0 or less is refused, but still logged);
  // ResetTemporaryReadTimeout restores the saved value. The pair does not nest.
  void SetTemporaryReadTimeout(std::int32_t aNewTimeout);
  void ResetTemporaryReadTimeout();

  bool ErrorFound() const { return fErrorFound; }
  std::int32_t ErrorCode() const { return fErrorCode; }
  const std::string& ErrorMessage() const { return fErrorMessage; }
  bool HexLog() const { return fHexLog; }
  void SetHexLog(bool aValue) { fHexLog = aValue; }
  std::int32_t ConnectTimeout() const { return fConnectTimeout; }
  void SetConnectTimeout(std::int32_t aValue) { fConnectTimeout = aValue; }
  std::int32_t ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(std::int32_t aValue) { fReadTimeout = aValue; }
  const std::string& Version() const { return fVersion; }
  void SetVersion(const std::string& aValue) { fVersion = aValue; }
  std::int32_t CodePage() const { return fCodePage; }
  void SetCodePage(std::int32_t aValue) { fCodePage = aValue; }

  // Lower-case hexadecimal of every UTF-16 unit, at least two digits each, separated by one blank.
  static std::string TextToHex(std::string_view aText);
  // An amount for log lines: "." separator, no grouping, no trailing zeros (12.5, 3, -0.01).
  static std::string FormatAmount(Currency aAmount);

 protected:
  // The error of an operation a handler does not support: the operation's name + " Unsupported".
  [[noreturn]] static void RaiseUnsupported(std::string_view aOperation);
  // Text to the bytes sent on the wire: with CodePage 0 one byte per UTF-16 unit ("?" above 255),
  // otherwise the code page's encoding (65001 is UTF-8).
  std::string EncodeForWire(const std::string& aText) const;
  // Writes a line as it is, without a title or hexadecimal rendering; nothing without a log.
  void LogRaw(tQZ_MessageType aEntryType, const std::string& aMessage);
  bool HasLog() const { return fLogger != nullptr; }

 private:
  bool fErrorFound = false;
  std::int32_t fErrorCode = 0;
  std::string fErrorMessage;
  std::unique_ptr<tQZ_LogWriter> fLogger;
  bool fHexLog = false;
  std::int32_t fConnectTimeout = 0;
  std::int32_t fReadTimeout = 0;
  std::int32_t fTemporaryReadTimeout = 0;
  std::string fVersion;
  std::int32_t fCodePage = 0;
};

// The TCP client handler: one connection per exchange, text sent one byte per character, answers read
// until the peer closes, a terminator arrives, a count is reached or a time-out strikes. Reads never raise
// for a time-out: they log it and answer what has arrived.
class kIOHandler_TCP : public kIOHandler {
 public:
  // Throws QzError when aConnection is null: the host and port come from it.
  kIOHandler_TCP(const kConnection* aConnection, const std::string& aDirectory, const std::string& aFileName);
  ~kIOHandler_TCP() override;

  bool GetConnected() override;
  bool Connect() override;
  bool Disconnect() override;
  void ClearBuffers() override;
  bool Write(const std::string& aMessage) override;
  std::string ReadUpTo(const std::vector<std::uint8_t>& aChars) override;
  std::string ReadChars(int aCharsNum) override;
  std::string ReadAll() override;
  std::string DecodeError(int aErrorCode) override;
  bool InputBufferContainsData() override;
  void SetParameter(const std::string& aName, const std::string& aValue) override;
  const char* ClassName() const override { return "kIOHandler_TCP"; }

  // Sends the bytes unchanged (logged as ASCII, "?" above 127); throws QzError like Write.
  bool WriteBytes(const std::vector<std::uint8_t>& aBytes);
  // Exactly aCount bytes with the client's current read time-out; no log line; throws QzError when they
  // do not arrive (the bytes that did arrive stay for the next read).
  std::vector<std::uint8_t> ReadBytes(int aCount);

  TcpClient& TCPClient() { return *fTCPClient; }
  const TcpClient& TCPClient() const { return *fTCPClient; }

  // A cap on the bytes one ReadAll takes, 0 (the default) for none. A read that would exceed it stops
  // with the first MaxReadSize bytes, logs "ReadAll Unexpected error" with the reason and sets
  // ReadLimitExceeded until the next ReadAll, so an owner can refuse an answer it cannot hold.
  std::size_t MaxReadSize() const { return fMaxReadSize; }
  void SetMaxReadSize(std::size_t aValue) { fMaxReadSize = aValue; }
  bool ReadLimitExceeded() const { return fReadLimitExceeded; }

 private:
  std::unique_ptr<TcpClient> fTCPClient;
  std::size_t fMaxReadSize = 0;
  bool fReadLimitExceeded = false;
};
