#pragma once
// The TCP client connection under kIOHandler_TCP: one POSIX socket, a connect bounded by a time-out and
// tried address by address, and an input buffer of bytes received but not yet taken by a read. The socket
// is read in blocks; the handler takes bytes from the buffer one by one (or in runs), so a read that stops
// at a terminator leaves the bytes after it for the next read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TcpClient {
 public:
  // How a wait for input ended.
  enum class WaitResult {
    Data,        // at least one byte is in the input buffer
    PeerClosed,  // the peer closed the connection gracefully and the buffer is empty
    TimedOut,    // nothing arrived within the wait limit
    Failed,      // the connection failed (reset, not connected, ...); see the error text
  };

  TcpClient() = default;
  ~TcpClient();  // closes any open connection
  TcpClient(const TcpClient&) = delete;
  TcpClient& operator=(const TcpClient&) = delete;

  const std::string& Host() const { return fHost; }
  void SetHost(const std::string& aValue) { fHost = aValue; }
  std::uint16_t Port() const { return fPort; }
  void SetPort(std::uint16_t aValue) { fPort = aValue; }
  // Milliseconds for the whole connect, shared by every address the host name resolves to.
  int ConnectTimeout() const { return fConnectTimeout; }
  void SetConnectTimeout(int aValue) { fConnectTimeout = aValue; }
  // The longest wait for the next data of a read, in milliseconds; 0 or less waits for nothing that has
  // not already arrived.
  int ReadTimeout() const { return fReadTimeout; }
  void SetReadTimeout(int aValue) { fReadTimeout = aValue; }
  // The longest wait for room in the send buffer while a peer reads nothing, in milliseconds.
  int SendTimeout() const { return fSendTimeout; }
  void SetSendTimeout(int aValue) { fSendTimeout = aValue; }

  // Opens a new connection (dropping any previous one and its unread input). True when connected; false
  // when the connect time-out passed without a connection and without an error; throws QzError with the
  // socket layer's text when the host cannot be resolved or every address refused.
  bool Connect();
  void Disconnect();
  // Whether the connection is open. Looks at the socket without waiting: bytes that have arrived are moved
  // to the input buffer, and a close or reset by the peer is noticed (and remembered for the next read).
  bool Connected();

  // Sends every byte; throws QzError on a failure (not connected, connection reset, no room in the send
  // buffer for a whole send time-out). Never raises SIGPIPE.
  void Send(std::string_view aBytes);

  // Waits at most the read time-out until the input buffer holds at least one byte. On Failed, aErrorText
  // holds the reason.
  WaitResult WaitForInput(std::string& aErrorText);
  // Waits, each wait bounded by the read time-out, until the input buffer holds at least aCount bytes.
  WaitResult WaitForInputCount(std::size_t aCount, std::string& aErrorText);

  // The bytes received and not yet taken, oldest first.
  std::string_view Input() const { return std::string_view(fInput).substr(fInputStart); }
  void Consume(std::size_t aCount);
  void ClearInput();
  bool InputEmpty() const { return fInputStart >= fInput.size(); }

 private:
  enum class Pull { Got, WouldBlock, Closed, Failed };
  // One non-blocking receive into the input buffer.
  Pull ReceiveOnce(std::string& aErrorText);
  // Waits at most the read time-out for new bytes to arrive in the input buffer.
  WaitResult ReceiveMore(std::string& aErrorText);
  void CloseSocket();

  std::string fHost;
  std::uint16_t fPort = 0;
  int fConnectTimeout = 1000;
  int fReadTimeout = 1000;
  int fSendTimeout = 1000;
  int fSocket = -1;
  // What the socket said last when it ended: a read after a noticed close or reset reports it.
  bool fPeerClosed = false;
  std::string fFailure;
  std::string fInput;
  std::size_t fInputStart = 0;
};
