#include "tools/velmo-proxy-sim/ProxyServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace velmosim {

namespace {

constexpr int kPollSliceMs = 100;
// A client that starts a request and never finishes it is dropped after this long, so its thread ends.
constexpr int kRequestIdleLimitMs = 30000;

std::string Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  char withMs[48];
  std::snprintf(withMs, sizeof withMs, "%s.%03lld", text, static_cast<long long>(ms));
  return withMs;
}

std::string SystemError(const char* aWhat) { return std::string(aWhat) + ": " + std::strerror(errno); }

}  // namespace

void ExchangeLog::Line(const std::string& aText) {
  std::lock_guard<std::mutex> guard(fLock);
  std::fprintf(fFile, "%s %s\n", Now().c_str(), aText.c_str());
  std::fflush(fFile);
}

ProxyServer::ProxyServer(ServerSettings aSettings, ExchangeLog& aLog)
    : fSettings(std::move(aSettings)), fLog(aLog) {}

ProxyServer::~ProxyServer() {
  fStopping = true;
  JoinFinished(true);
  if (fListenSocket >= 0) close(fListenSocket);
}

int ProxyServer::Listen() {
  fListenSocket = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fListenSocket < 0) throw std::runtime_error(SystemError("socket"));
  int yes = 1;
  setsockopt(fListenSocket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(fSettings.fPort));
  if (inet_pton(AF_INET, fSettings.fAddress.c_str(), &address.sin_addr) != 1)
    throw std::runtime_error("not an IPv4 address: " + fSettings.fAddress);
  if (bind(fListenSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error(
        SystemError(("bind " + fSettings.fAddress + ":" + std::to_string(fSettings.fPort)).c_str()));
  if (listen(fListenSocket, 16) != 0) throw std::runtime_error(SystemError("listen"));
  socklen_t length = sizeof address;
  getsockname(fListenSocket, reinterpret_cast<sockaddr*>(&address), &length);
  return ntohs(address.sin_port);
}

void ProxyServer::Run(int aStopFd) {
  long number = 0;
  while (!fStopping) {
    pollfd watched[2] = {{fListenSocket, POLLIN, 0}, {aStopFd, POLLIN, 0}};
    int ready = poll(watched, 2, kPollSliceMs);
    JoinFinished(false);
    if (ready < 0 && errno != EINTR) throw std::runtime_error(SystemError("poll"));
    if (ready <= 0) continue;
    if (watched[1].revents != 0) break;
    if ((watched[0].revents & POLLIN) == 0) continue;
    int client = accept4(fListenSocket, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    auto connection = std::make_unique<Connection>();
    Connection* raw = connection.get();
    long current = ++number;
    connection->fThread = std::thread([this, client, current, raw] {
      Serve(client, current);
      raw->fDone = true;
    });
    fConnections.push_back(std::move(connection));
  }
  fStopping = true;
  JoinFinished(true);
}

Behaviour ProxyServer::BehaviourOf(long aNumber) const {
  std::size_t index = static_cast<std::size_t>(aNumber - 1);
  if (index >= fSettings.fBehaviours.size()) index = fSettings.fBehaviours.size() - 1;
  return fSettings.fBehaviours[index];
}

void ProxyServer::Serve(int aSocket, long aNumber) {
  std::string tag = "#" + std::to_string(aNumber);
  std::string request;
  if (ReadRequest(aSocket, aNumber, request)) {
    fLog.Line(tag + " request: " + request);
    Behaviour behaviour = BehaviourOf(aNumber);
    if (PauseUnlessStopped(fSettings.fDelayMs)) {
      std::string reply = BuildReply(behaviour, request, fSettings.fReply, std::chrono::system_clock::now());
      SendAll(aSocket, reply);
      fLog.Line(tag + " reply (" + BehaviourName(behaviour) + "): " + reply);
      if (behaviour == Behaviour::NeverClose) HoldOpenUntilPeerCloses(aSocket);
    }
  }
  close(aSocket);
  fLog.Line(tag + " closed");
}

bool ProxyServer::ReadRequest(int aSocket, long aNumber, std::string& aRequest) {
  std::string tag = "#" + std::to_string(aNumber);
  RequestFramer framer;
  int idleMs = 0;
  char buffer[4096];
  while (!fStopping) {
    pollfd watched{aSocket, POLLIN, 0};
    int ready = poll(&watched, 1, kPollSliceMs);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) {
      idleMs += kPollSliceMs;
      if (idleMs >= kRequestIdleLimitMs) {
        fLog.Line(tag + " no complete request within " + std::to_string(kRequestIdleLimitMs) +
                  " ms: " + framer.Text());
        return false;
      }
      continue;
    }
    ssize_t count = recv(aSocket, buffer, sizeof buffer, 0);
    if (count <= 0) {
      fLog.Line(tag + " closed by the client before a complete request: " + framer.Text());
      return false;
    }
    idleMs = 0;
    RequestFramer::State state = framer.Feed(std::string_view(buffer, static_cast<std::size_t>(count)));
    if (state != RequestFramer::State::NeedMore) {
      aRequest = framer.Text();
      return true;
    }
  }
  return false;
}

bool ProxyServer::PauseUnlessStopped(int aMilliseconds) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(aMilliseconds);
  while (!fStopping && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(aMilliseconds, 20)));
  return !fStopping;
}

void ProxyServer::SendAll(int aSocket, const std::string& aBytes) {
  std::size_t sent = 0;
  while (sent < aBytes.size()) {
    ssize_t count = send(aSocket, aBytes.data() + sent, aBytes.size() - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;
    sent += static_cast<std::size_t>(count);
  }
}

void ProxyServer::HoldOpenUntilPeerCloses(int aSocket) {
  char buffer[256];
  while (!fStopping) {
    pollfd watched{aSocket, POLLIN, 0};
    if (poll(&watched, 1, kPollSliceMs) > 0 && recv(aSocket, buffer, sizeof buffer, 0) <= 0) return;
  }
}

void ProxyServer::JoinFinished(bool aAll) {
  for (auto it = fConnections.begin(); it != fConnections.end();) {
    if (aAll || (*it)->fDone) {
      if ((*it)->fThread.joinable()) (*it)->fThread.join();
      it = fConnections.erase(it);
    } else {
      ++it;
    }
  }
}

}  // namespace velmosim
