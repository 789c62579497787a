#pragma once
// The listening side of the simulated proxy: one reply per connection, each connection served on its own
// thread so that a connection held open (never-close, a long delay) does not hold up the next receipt.

#include <atomic>
#include <cstdio>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/velmo-proxy-sim/ProxyReplies.h"

namespace velmosim {

struct ServerSettings {
  std::string fAddress = "127.0.0.1";
  int fPort = 5001;
  // Behaviour of the first, second, ... connection; the last one serves every later connection.
  std::vector<Behaviour> fBehaviours = {Behaviour::Accept};
  int fDelayMs = 0;
  ReplySettings fReply;
};

// Request and reply lines, one at a time from any connection thread, flushed at once so that a test or a
// person watching the file sees each exchange as it happens.
class ExchangeLog {
 public:
  explicit ExchangeLog(std::FILE* aFile) : fFile(aFile) {}
  void Line(const std::string& aText);

 private:
  std::mutex fLock;
  std::FILE* fFile;
};

class ProxyServer {
 public:
  ProxyServer(ServerSettings aSettings, ExchangeLog& aLog);
  ~ProxyServer();
  ProxyServer(const ProxyServer&) = delete;
  ProxyServer& operator=(const ProxyServer&) = delete;

  // Binds and listens; answers the port the socket got. Throws std::runtime_error with the reason.
  int Listen();
  // Serves connections until aStopFd becomes readable, then ends every connection and returns.
  void Run(int aStopFd);

 private:
  struct Connection {
    std::thread fThread;
    std::atomic<bool> fDone{false};
  };

  Behaviour BehaviourOf(long aNumber) const;
  void Serve(int aSocket, long aNumber);
  bool ReadRequest(int aSocket, long aNumber, std::string& aRequest);
  bool PauseUnlessStopped(int aMilliseconds);
  void SendAll(int aSocket, const std::string& aBytes);
  void HoldOpenUntilPeerCloses(int aSocket);
  void JoinFinished(bool aAll);

  ServerSettings fSettings;
  ExchangeLog& fLog;
  int fListenSocket = -1;
  std::atomic<bool> fStopping{false};
  std::list<std::unique_ptr<Connection>> fConnections;
};

}  // namespace velmosim
