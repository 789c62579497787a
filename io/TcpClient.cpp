// POSIX sockets under the TCP handler. The socket is non-blocking from its creation; every wait is a poll
// bounded by a deadline, so no call blocks longer than its time-out, and sends use MSG_NOSIGNAL so a peer
// that has gone away is an error, never a signal that ends the host.

#include "io/TcpClient.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/QzError.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReceiveBlock = 256 * 1024;
constexpr const char* kNotConnected = "Not connected";
constexpr const char* kReadTimedOut = "Read timed out";
constexpr const char* kWriteTimedOut = "Write timed out";

std::string ErrnoText(int aErrno) { return std::strerror(aErrno); }

// Milliseconds left until aDeadline, never negative; -1 (wait without limit) when there is no deadline.
int MillisecondsLeft(const std::optional<Clock::time_point>& aDeadline) {
  if (!aDeadline) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*aDeadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Polls one descriptor for aEvents until the deadline; answers the poll result (0 on time-out),
// restarting after a signal.
int PollUntil(int aSocket, short aEvents, const std::optional<Clock::time_point>& aDeadline) {
  for (;;) {
    pollfd entry{aSocket, aEvents, 0};
    const int ready = ::poll(&entry, 1, MillisecondsLeft(aDeadline));
    if (ready >= 0 || errno != EINTR) return ready;
  }
}

struct AddrInfoDeleter {
  void operator()(addrinfo* aList) const { freeaddrinfo(aList); }
};

}  // namespace

TcpClient::~TcpClient() { CloseSocket(); }

void TcpClient::CloseSocket() {
  if (fSocket >= 0) {
    ::close(fSocket);
    fSocket = -1;
  }
}

bool TcpClient::Connect() {
  Disconnect();
  if (fHost.empty()) throw QzError("Host not specified");

  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(fPort);
  const int resolved = ::getaddrinfo(fHost.c_str(), service.c_str(), &hints, &found);
  if (resolved != 0) {
    throw QzError(resolved == EAI_SYSTEM ? ErrnoText(errno) : std::string(::gai_strerror(resolved)));
  }
  const std::unique_ptr<addrinfo, AddrInfoDeleter> addresses(found);

  // One time-out for the whole connect: a host name with several addresses (localhost: ::1 and
  // 127.0.0.1) shares it, and a refused address moves straight on to the next.
  std::optional<Clock::time_point> deadline;
  if (fConnectTimeout > 0) deadline = Clock::now() + std::chrono::milliseconds(fConnectTimeout);
  std::string lastError;
  for (const addrinfo* address = addresses.get(); address != nullptr; address = address->ai_next) {
    const int candidate = ::socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                   address->ai_protocol);
    if (candidate < 0) {
      lastError = ErrnoText(errno);
      continue;
    }
    int error = 0;
    if (::connect(candidate, address->ai_addr, address->ai_addrlen) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        const int ready = PollUntil(candidate, POLLOUT, deadline);
        if (ready == 0) {
          ::close(candidate);
          return false;  // the time-out is spent: no address is left any time
        }
        socklen_t length = sizeof error;
        if (ready < 0) {
          error = errno;
        } else if (::getsockopt(candidate, SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
          error = errno;
        }
      }
    }
    if (error != 0) {
      lastError = ErrnoText(error);
      ::close(candidate);
      if (MillisecondsLeft(deadline) == 0) return false;
      continue;
    }
    // One request, one answer: nothing is gained by holding small writes back.
    const int noDelay = 1;
    ::setsockopt(candidate, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    fSocket = candidate;
    return true;
  }
  throw QzError(lastError.empty() ? std::string("No address for host ") + fHost : lastError);
}

void TcpClient::Disconnect() {
  CloseSocket();
  fPeerClosed = false;
  fFailure.clear();
  ClearInput();
}

bool TcpClient::Connected() {
  if (fSocket < 0) return false;
  char probe;
  const ssize_t got = ::recv(fSocket, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
  if (got > 0) return true;
  if (got == 0) {
    fPeerClosed = true;
    CloseSocket();
    return false;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return true;
  // The socket reports its error once: keep it for the next read.
  fFailure = ErrnoText(errno);
  CloseSocket();
  return false;
}

void TcpClient::Send(std::string_view aBytes) {
  if (fSocket < 0) throw QzError(kNotConnected);
  std::optional<Clock::time_point> deadline;
  while (!aBytes.empty()) {
    const ssize_t sent = ::send(fSocket, aBytes.data(), aBytes.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      aBytes.remove_prefix(static_cast<std::size_t>(sent));
      deadline.reset();
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // A peer that reads nothing is given one send time-out to make room, then the write fails.
      if (!deadline) deadline = Clock::now() + std::chrono::milliseconds(fSendTimeout > 0 ? fSendTimeout : 0);
      if (PollUntil(fSocket, POLLOUT, deadline) == 0) throw QzError(kWriteTimedOut);
      continue;
    }
    throw QzError(ErrnoText(sent < 0 ? errno : EPIPE));
  }
}

TcpClient::Pull TcpClient::ReceiveOnce(std::string& aErrorText) {
  if (fInputStart == fInput.size()) {
    fInput.clear();
    fInputStart = 0;
  } else if (fInputStart > fInput.size() / 2) {
    fInput.erase(0, fInputStart);
    fInputStart = 0;
  }
  const std::size_t kept = fInput.size();
  fInput.resize(kept + kReceiveBlock);
  ssize_t got;
  do {
    got = ::recv(fSocket, fInput.data() + kept, kReceiveBlock, MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  fInput.resize(kept + (got > 0 ? static_cast<std::size_t>(got) : 0));
  if (got > 0) return Pull::Got;
  if (got == 0) {
    fPeerClosed = true;
    CloseSocket();
    return Pull::Closed;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK) return Pull::WouldBlock;
  aErrorText = ErrnoText(errno);
  CloseSocket();
  return Pull::Failed;
}

TcpClient::WaitResult TcpClient::ReceiveMore(std::string& aErrorText) {
  if (fSocket < 0) {
    if (fPeerClosed) return WaitResult::PeerClosed;
    aErrorText = fFailure.empty() ? kNotConnected : fFailure;
    return WaitResult::Failed;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(fReadTimeout > 0 ? fReadTimeout : 0);
  for (;;) {
    switch (ReceiveOnce(aErrorText)) {
      case Pull::Got:
        return WaitResult::Data;
      case Pull::Closed:
        return WaitResult::PeerClosed;
      case Pull::Failed:
        return WaitResult::Failed;
      case Pull::WouldBlock:
        break;
    }
    const int ready = PollUntil(fSocket, POLLIN, deadline);
    if (ready == 0) {
      aErrorText = kReadTimedOut;
      return WaitResult::TimedOut;
    }
    if (ready < 0) {
      aErrorText = ErrnoText(errno);
      return WaitResult::Failed;
    }
  }
}

TcpClient::WaitResult TcpClient::WaitForInput(std::string& aErrorText) {
  if (!InputEmpty()) return WaitResult::Data;
  return ReceiveMore(aErrorText);
}

TcpClient::WaitResult TcpClient::WaitForInputCount(std::size_t aCount, std::string& aErrorText) {
  while (Input().size() < aCount) {
    const WaitResult result = ReceiveMore(aErrorText);
    if (result != WaitResult::Data) return result;
  }
  return WaitResult::Data;
}

void TcpClient::Consume(std::size_t aCount) {
  fInputStart += std::min(aCount, fInput.size() - fInputStart);
  if (fInputStart == fInput.size()) ClearInput();
}

void TcpClient::ClearInput() {
  fInput.clear();
  fInputStart = 0;
}
