// PROCESSRECEIPT of a 20-line receipt through the exports, as a host calls it: the development proxy on
// 127.0.0.1:5001 answers at once and the SMAC answer comes from the host callback. Its median is printed
// next to the median of a bare program doing the same work by hand in the same run, interleaved call by
// call: the same loopback exchange (connect, send the JSON request, read to the close) and the same
// durable file work (counters read, locked, replaced atomically; the journal file written atomically).
// Then 10,000 receipts on one handle show how resident memory grows after the first 100.
//
// The data folder is made under the build folder (a real disk; /tmp may be memory), or under
// $QZFP_BENCH_DIR when set.

#include <arpa/inet.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;
using namespace qzbench;
using Clock = std::chrono::steady_clock;
using Bstr = char16_t*;
using OpenFn = std::int32_t (*)(Bstr, std::int32_t*, Bstr*);
using ProcessFn = std::int32_t (*)(Bstr, Bstr*, Bstr*);
using SetCallbackFn = void (*)(int (*)(void*, const char*, const char*, unsigned, unsigned), void*);

extern "C" int AnswerYes(void*, const char*, const char*, unsigned, unsigned) { return 0; }

class ProxySimulator {
 public:
  ProxySimulator() {
    int out[2];
    Check(pipe(out) == 0, "pipe");
    fPid = fork();
    if (fPid == 0) {
      dup2(out[1], 1);
      execl(QZ_BINARY_DIR "/tools/velmo-proxy-sim/velmo-proxy-sim", "velmo-proxy-sim", "--log", "/dev/null",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') {
    }
    close(out[0]);
  }
  ~ProxySimulator() {
    kill(fPid, SIGTERM);
    waitpid(fPid, nullptr, 0);
  }

 private:
  pid_t fPid = -1;
};

std::string ReceiptBody() {
  std::ostringstream lines;
  for (int i = 1; i <= 20; ++i) {
    lines << "<ProductSale><Code>A" << i << "</Code><Description>Articolo " << i
          << "</Description><Quantity>1</Quantity><Price>1.25</Price><Amount>1.25</Amount>"
             "<TaxCode>1</TaxCode><Department>1</Department></ProductSale>";
  }
  return "<Receipt><Type>Sale</Type><SubType></SubType><TotalAmount>25.00</TotalAmount><Lines>" +
         lines.str() +
         "</Lines><Taxes><Tax><Type>VAT</Type><Code>1</Code><Rate>22</Rate><TaxableAmount>20.49</"
         "TaxableAmount>"
         "<TaxAmount>4.51</TaxAmount><TotalAmount>25.00</TotalAmount></Tax></Taxes><Payments><Payment>"
         "<Type>Cash</Type><Amount>25.00</Amount></Payment></Payments><TrailerMessages><Text>"
         "<Alignment>Left</Alignment><Value>Grazie</Value><Size>1</Size></Text></TrailerMessages></Receipt>";
}

std::string Envelope(int aHandle, const std::string& aBody) {
  std::string handle = aHandle > 0 ? "<Handle>" + std::to_string(aHandle) + "</Handle>" : "";
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ReceiptPrinterManager><Type>FP</Type>"
         "<Driver>QZFP_VELMO_10</Driver><Method>M</Method><LogId>bench</LogId>" +
         handle +
         "<Parameters><Processor>QZFP_VELMO_10</Processor><FPTillSerial>BR</FPTillSerial></Parameters>" +
         aBody + "</ReceiptPrinterManager>";
}

class Host {
 public:
  explicit Host(const fs::path& aFolder) {
    fs::create_directories(aFolder / "data");
    fs::create_directories(aFolder / "app");
    setenv("QZFP_DATA_ROOT", ((aFolder / "data").string() + "/").c_str(), 1);
    setenv("QZFP_APP_DIR", ((aFolder / "app").string() + "/").c_str(), 1);
    fLibrary = dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (fLibrary == nullptr) throw std::runtime_error(dlerror());
    auto open = reinterpret_cast<OpenFn>(dlsym(fLibrary, "OPEN"));
    fReceipt = reinterpret_cast<ProcessFn>(dlsym(fLibrary, "PROCESSRECEIPT"));
    fAlloc = reinterpret_cast<Bstr (*)(const char16_t*, std::uint32_t)>(dlsym(fLibrary, "SysAllocStringLen"));
    fFree = reinterpret_cast<void (*)(Bstr)>(dlsym(fLibrary, "SysFreeString"));
    reinterpret_cast<SetCallbackFn>(dlsym(fLibrary, "QZFP_SetConfirmCallback"))(&AnswerYes, nullptr);
    Bstr request = Text(Envelope(0, ""));
    Bstr error = nullptr;
    std::int32_t handle = 0;
    Check(open(request, &handle, &error) == 0, "OPEN");
    fFree(request);
    fRequest = Text(Envelope(handle, ReceiptBody()));
  }
  ~Host() {
    fFree(fRequest);
    dlclose(fLibrary);
  }
  std::size_t Receipt() {
    Bstr output = nullptr;
    Bstr error = nullptr;
    if (fReceipt(fRequest, &output, &error) != 0) {
      throw std::runtime_error("PROCESSRECEIPT failed: " + qztext::Utf16ToUtf8(error ? error : u""));
    }
    std::size_t size = qztext::Utf16ToUtf8(output).size();
    fFree(output);
    return size;
  }

 private:
  Bstr Text(const std::string& aText) const {
    std::u16string units = qztext::Utf8ToUtf16(aText);
    return fAlloc(units.data(), static_cast<std::uint32_t>(units.size()));
  }
  void* fLibrary = nullptr;
  ProcessFn fReceipt = nullptr;
  Bstr (*fAlloc)(const char16_t*, std::uint32_t) = nullptr;
  void (*fFree)(Bstr) = nullptr;
  Bstr fRequest = nullptr;
};

// ---- the bare program: the same exchange and the same durable writes, by hand ----

std::string ExchangeWithProxy(const std::string& aRequest) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(5001);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  Check(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "connect");
  Check(send(fd, aRequest.data(), aRequest.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(aRequest.size()),
        "send");
  std::string reply;
  char buffer[4096];
  ssize_t n;
  while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0) reply.append(buffer, static_cast<std::size_t>(n));
  close(fd);
  return reply;
}

class BareReceipt {
 public:
  explicit BareReceipt(const fs::path& aFolder) : fFolder(aFolder / "bare") {
    fs::create_directories(fFolder / "Processed");
    fCounters = fFolder / "counters.actual.fprc";
    ReplaceDurably(fCounters, std::string(700, 'c'));
  }
  void Run(std::size_t aJournalSize) {
    ReadWholeFile(fCounters);  // refresh before the question
    const std::string reply = ExchangeWithProxy(
        R"({"type":"smac","data":{"isPresent":true,"amount":25,"numberPieces":20,"numberDocument":1,"typeDocument":"SC"}})");
    if (reply.empty()) throw std::runtime_error("empty proxy reply");
    int lock = open((fCounters.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    Check(lock >= 0 && flock(lock, LOCK_EX) == 0, "lock");
    std::string counters = ReadWholeFile(fCounters);
    ReplaceDurably(fCounters, counters);
    flock(lock, LOCK_UN);
    close(lock);
    const fs::path day = fFolder / "Processed" / "20261210";
    fs::create_directories(day);
    ReplaceDurably(day / "0001-0001.fprd", std::string(aJournalSize, 'j'));
  }

 private:
  fs::path fFolder;
  fs::path fCounters;
};

long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int samples = argc > 1 ? std::atoi(argv[1]) : 300;
  const int soak = argc > 2 ? std::atoi(argv[2]) : 10000;
  const fs::path folder = MakeBenchFolder("bench-receipt");
  try {
    ProxySimulator proxy;
    Host host(folder);
    BareReceipt bare(folder);
    const std::size_t journalSize = host.Receipt();  // warm up: folders, settings, first connection
    bare.Run(journalSize);

    std::vector<double> library, baseline;
    for (int i = 0; i < samples; ++i) {
      library.push_back(Microseconds([&] { host.Receipt(); }));
      baseline.push_back(Microseconds([&] { bare.Run(journalSize); }));
    }
    const double libraryMedian = Median(library);
    const double bareMedian = Median(baseline);
    std::printf("PROCESSRECEIPT (20 lines) median: %.1f us over %d calls\n", libraryMedian, samples);
    std::printf("bare exchange + durable writes median: %.1f us\n", bareMedian);
    std::printf("ratio: %.2f (target at most 1.5)\n", libraryMedian / bareMedian);

    for (int i = 0; i < 100; ++i) host.Receipt();
    const long after100 = ResidentKiB();
    for (int i = 100; i < soak; ++i) host.Receipt();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // let the log thread drain
    const long afterAll = ResidentKiB();
    std::printf(
        "resident memory after 100 receipts: %ld KiB; after %d: %ld KiB; growth %ld KiB (target < 1024)\n",
        after100, soak, afterAll, afterAll - after100);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_receipt_exports: %s\n", e.what());
    fs::remove_all(folder);
    return 1;
  }
  fs::remove_all(folder);
  return 0;
}
