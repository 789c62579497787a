#pragma once
// A real TCP peer on the loopback interface for the handler tests: it listens on 127.0.0.1 with a port the
// kernel chooses, accepts one connection on its own thread and plays a script on it.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

class TestPeer {
 public:
  using Script = std::function<void(int aSocket, TestPeer& aPeer)>;

  explicit TestPeer(Script aScript, int aBacklog = 1) : fScript(std::move(aScript)) {
    fListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fListener < 0 || ::bind(fListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fListener, aBacklog) != 0 ||
        ::getsockname(fListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot listen on the loopback interface");
    }
    fPort = ntohs(address.sin_port);
    if (fScript) fThread = std::thread([this] { Serve(); });
  }

  ~TestPeer() {
    Join();
    ::close(fListener);
  }

  std::uint16_t Port() const { return fPort; }
  // Waits for the script to end; afterwards Received() is stable.
  void Join() {
    if (fThread.joinable()) fThread.join();
  }
  const std::string& Received() {
    Join();
    return fReceived;
  }
  int Accepted() const { return fAccepted; }

  // Script steps.
  static void SendAll(int aSocket, const std::string& aBytes) {
    std::size_t done = 0;
    while (done < aBytes.size()) {
      const ssize_t sent = ::send(aSocket, aBytes.data() + done, aBytes.size() - done, MSG_NOSIGNAL);
      if (sent <= 0) return;
      done += static_cast<std::size_t>(sent);
    }
  }
  // Reads until the other side closes (or 10 s pass), keeping what arrives.
  void ReceiveUntilClosed(int aSocket) {
    char buffer[4096];
    for (;;) {
      pollfd entry{aSocket, POLLIN, 0};
      if (::poll(&entry, 1, 10000) <= 0) return;
      const ssize_t got = ::recv(aSocket, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      fReceived.append(buffer, static_cast<std::size_t>(got));
    }
  }
  // Reads until at least aCount bytes have arrived (or 10 s pass).
  void ReceiveAtLeast(int aSocket, std::size_t aCount) {
    char buffer[4096];
    while (fReceived.size() < aCount) {
      pollfd entry{aSocket, POLLIN, 0};
      if (::poll(&entry, 1, 10000) <= 0) return;
      const ssize_t got = ::recv(aSocket, buffer, sizeof buffer, 0);
      if (got <= 0) return;
      fReceived.append(buffer, static_cast<std::size_t>(got));
    }
  }
  // Closes with a reset instead of a graceful close.
  static void Reset(int aSocket) {
    linger option{1, 0};
    ::setsockopt(aSocket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
  }

 private:
  void Serve() {
    pollfd entry{fListener, POLLIN, 0};
    if (::poll(&entry, 1, 10000) <= 0) return;
    const int connection = ::accept4(fListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return;
    ++fAccepted;
    fScript(connection, *this);
    ::close(connection);
    // A second connection would be a fault of the handler: count it without serving it.
    pollfd again{fListener, POLLIN, 0};
    if (::poll(&again, 1, 0) > 0) ++fAccepted;
  }

  Script fScript;
  int fListener = -1;
  std::uint16_t fPort = 0;
  std::atomic<int> fAccepted{0};
  std::string fReceived;
  std::thread fThread;
};
