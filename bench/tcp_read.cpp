// ReadAll of a 1 MiB answer from a loopback peer that closes after sending it: the proxy's way of ending a
// reply. Reported as bytes per second of ReadAll alone (connecting is outside the timed part).

#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>

#include "io/uQZIOHandler.h"

namespace {

constexpr std::size_t kAnswerSize = 1 << 20;

// Accepts connections one after another and answers each with the same bytes, then closes it.
class AnsweringPeer {
 public:
  explicit AnsweringPeer(std::string aAnswer) : fAnswer(std::move(aAnswer)) {
    fListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fListener < 0 || ::bind(fListener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fListener, 16) != 0 ||
        ::getsockname(fListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot listen on the loopback interface");
    }
    fPort = ntohs(address.sin_port);
    fThread = std::thread([this] { Serve(); });
  }
  ~AnsweringPeer() {
    fStop = true;
    fThread.join();
    ::close(fListener);
  }
  std::uint16_t Port() const { return fPort; }

 private:
  void Serve() {
    while (!fStop) {
      pollfd entry{fListener, POLLIN, 0};
      if (::poll(&entry, 1, 50) <= 0) continue;
      const int connection = ::accept4(fListener, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      std::size_t done = 0;
      while (done < fAnswer.size()) {
        const ssize_t sent = ::send(connection, fAnswer.data() + done, fAnswer.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) break;
        done += static_cast<std::size_t>(sent);
      }
      ::close(connection);
    }
  }

  std::string fAnswer;
  int fListener = -1;
  std::uint16_t fPort = 0;
  std::atomic<bool> fStop{false};
  std::thread fThread;
};

std::string Answer() {
  std::string answer(kAnswerSize, ' ');
  for (std::size_t i = 0; i < answer.size(); ++i) answer[i] = static_cast<char>(32 + i % 95);
  return answer;
}

void ReadAllOfOneMebibyte(benchmark::State& aState, bool aWithLog) {
  AnsweringPeer peer(Answer());
  kConnection settings;
  settings.SetConnectionType(qzConnectionType::TCP);
  settings.SetAddress("127.0.0.1");
  settings.SetPort(peer.Port());
  settings.SetReadTimeOut(10000);
  std::string folder = (std::filesystem::temp_directory_path() / "qz_bench_XXXXXX").string();
  if (aWithLog && ::mkdtemp(folder.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  {
    kIOHandler_TCP handler(&settings, aWithLog ? folder : std::string(), "QZFP_VELMO_10_bench");
    for (auto _ : aState) {
      aState.PauseTiming();
      if (!handler.Connect()) aState.SkipWithError("connect failed");
      aState.ResumeTiming();
      const std::string answer = handler.ReadAll();
      aState.PauseTiming();
      if (answer.size() != kAnswerSize) aState.SkipWithError("short answer");
      handler.Disconnect();
      aState.ResumeTiming();
    }
  }
  if (aWithLog) std::filesystem::remove_all(folder);
  aState.SetBytesProcessed(static_cast<std::int64_t>(aState.iterations() * kAnswerSize));
}

void BM_ReadAll_1MiB(benchmark::State& aState) { ReadAllOfOneMebibyte(aState, false); }
void BM_ReadAll_1MiB_Logged(benchmark::State& aState) { ReadAllOfOneMebibyte(aState, true); }

}  // namespace

BENCHMARK(BM_ReadAll_1MiB)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ReadAll_1MiB_Logged)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
