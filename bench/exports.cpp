// The exports as a host calls them, through dlopen: status and X report per call, and the Z report with
// its durable writes next to a bare program doing the same file work (the two archive copies and the
// atomic replace of the counters file, each flushed to the disk) in the same folder, in the same run.
//
// The data folder is made under the build folder (a real disk; /tmp may be memory), or under
// $QZFP_BENCH_DIR when set. After the Google Benchmark runs, an interleaved run of single calls prints the
// medians and the ratio of the Z report to the bare file work.

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "platform/Text.h"

namespace {

namespace fs = std::filesystem;
using namespace qzbench;

using Bstr = char16_t*;
using OpenFn = std::int32_t (*)(Bstr, std::int32_t*, Bstr*);
using ProcessFn = std::int32_t (*)(Bstr, Bstr*, Bstr*);

class Host {
 public:
  Host() : fFolder(MakeBenchFolder("bench-exports")) {
    fs::create_directories(fFolder / "data");
    fs::create_directories(fFolder / "app");
    setenv("QZFP_DATA_ROOT", ((fFolder / "data").string() + "/").c_str(), 1);
    setenv("QZFP_APP_DIR", ((fFolder / "app").string() + "/").c_str(), 1);
    setenv("LC_ALL", "it_IT.UTF-8", 0);
    fLibrary = dlopen(QZ_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (fLibrary == nullptr) throw std::runtime_error(dlerror());
    fOpen = reinterpret_cast<OpenFn>(dlsym(fLibrary, "OPEN"));
    fStatus = reinterpret_cast<ProcessFn>(dlsym(fLibrary, "PROCESSGETSTATUS"));
    fXReport = reinterpret_cast<ProcessFn>(dlsym(fLibrary, "PROCESSXREPORT"));
    fZReport = reinterpret_cast<ProcessFn>(dlsym(fLibrary, "PROCESSZREPORT"));
    fAlloc = reinterpret_cast<Bstr (*)(const char16_t*, std::uint32_t)>(dlsym(fLibrary, "SysAllocStringLen"));
    fFree = reinterpret_cast<void (*)(Bstr)>(dlsym(fLibrary, "SysFreeString"));
    if (!fOpen || !fStatus || !fXReport || !fZReport || !fAlloc || !fFree)
      throw std::runtime_error("exports");
    OpenNewTill();
  }
  ~Host() {
    fFree(fRequest);
    dlclose(fLibrary);
    std::error_code ignored;
    fs::remove_all(fFolder, ignored);
  }

  // A till of its own; the Z report numbers its snapshots with four digits, so a long run moves on to a new
  // till well before they wrap.
  void OpenNewTill() {
    ++fTills;
    fTillSerial = "B" + std::to_string(fTills);
    fZReports = 0;
    Bstr error = nullptr;
    std::int32_t handle = 0;
    Bstr open = Text(Envelope(0));
    std::int32_t result = fOpen(open, &handle, &error);
    fFree(open);
    if (result != 0) throw std::runtime_error("OPEN failed: " + Read(error));
    fFree(fRequest);
    fRequest = Text(Envelope(handle));
  }

  // One call; false when it failed.
  bool Call(ProcessFn aExport) {
    Bstr output = nullptr;
    Bstr error = nullptr;
    std::int32_t result = aExport(fRequest, &output, &error);
    fFree(output);
    fFree(error);
    return result == 0;
  }
  bool Status() { return Call(fStatus); }
  bool XReport() { return Call(fXReport); }
  bool ZReport() {
    if (++fZReports > 5000) OpenNewTill();
    return Call(fZReport);
  }

  fs::path TillFolder() const { return fFolder / "data" / fTillSerial; }
  const fs::path& Folder() const { return fFolder; }

 private:
  std::string Envelope(std::int32_t aHandle) const {
    std::string handle = aHandle > 0 ? "<Handle>" + std::to_string(aHandle) + "</Handle>" : "";
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<ReceiptPrinterManager "
           "Version=\"1.0\"><Type>FP</Type>"
           "<Driver>QZFP_VELMO_10</Driver><Method>M</Method><LogId>bench</LogId>" +
           handle + "<Parameters><Processor>QZFP_VELMO_10</Processor><FPTillSerial>" + fTillSerial +
           "</FPTillSerial></Parameters></ReceiptPrinterManager>";
  }
  Bstr Text(const std::string& aText) const {
    std::u16string units = qztext::Utf8ToUtf16(aText);
    return fAlloc(units.data(), static_cast<std::uint32_t>(units.size()));
  }
  std::string Read(Bstr aText) const {
    if (aText == nullptr) return {};
    std::string text = qztext::Utf16ToUtf8(aText);
    fFree(aText);
    return text;
  }

  fs::path fFolder;
  void* fLibrary = nullptr;
  OpenFn fOpen = nullptr;
  ProcessFn fStatus = nullptr;
  ProcessFn fXReport = nullptr;
  ProcessFn fZReport = nullptr;
  Bstr (*fAlloc)(const char16_t*, std::uint32_t) = nullptr;
  void (*fFree)(Bstr) = nullptr;
  Bstr fRequest = nullptr;
  std::string fTillSerial;
  int fTills = 0;
  int fZReports = 0;
};

Host& TheHost() {
  static Host host;
  return host;
}

// ---------------------------------------------------------------------------------------------------------
// The bare file work of one Z report, written plainly with POSIX calls.

// Copy without overwriting: the target appears complete or not at all.
void CopyDurably(const fs::path& aSource, const fs::path& aTarget) {
  fs::path temporary = WriteTemporary(aTarget, ReadWholeFile(aSource));
  Check(link(temporary.c_str(), aTarget.c_str()) == 0, "link");
  unlink(temporary.c_str());
  SyncFolder(aTarget.parent_path());
}

class BareZ {
 public:
  explicit BareZ(const fs::path& aFolder) : fFolder(aFolder / "bare") {
    fs::create_directories(fFolder / "Processed");
    ReplaceDurably(Actual(), Counters());
  }
  void Run() {
    unlink(Previous().c_str());
    CopyDurably(Actual(), Previous());
    const fs::path day = fFolder / "Processed" / "20240502";
    fs::create_directories(day);
    char name[32];
    std::snprintf(name, sizeof name, "%04d-9999.fprd", ++fNumber % 10000);
    unlink((day / name).c_str());  // a long run wraps the four digits; the driver's till moves on instead
    CopyDurably(Actual(), day / name);
    ReplaceDurably(Actual(), Counters());
  }

 private:
  fs::path Actual() const { return fFolder / "counters.actual.fprc"; }
  fs::path Previous() const { return fFolder / "counters.previous.fprc"; }
  std::string Counters() const {
    return "<FPRCounters><TillSerial>B</TillSerial><CreatedAt>2024-05-02T09:15:03</CreatedAt><LastUpdatedAt>"
           "2024-05-02T09:15:03</LastUpdatedAt><CurrentReceiptNo>0</CurrentReceiptNo><CurrentZReportNo>" +
           std::to_string(fNumber + 1) +
           "</CurrentZReportNo><DailyTotal>0</DailyTotal><DailySales>0</DailySales><DailyRefunds>0</"
           "DailyRefunds>"
           "<DailyVoids>0</DailyVoids><DailyDiscounts>0</DailyDiscounts><GrandTotalTotal>0</GrandTotalTotal>"
           "<GrandTotalSales>0</GrandTotalSales><GrandTotalRefunds>0</GrandTotalRefunds><GrandTotalVoids>0"
           "</GrandTotalVoids><GrandTotalDiscounts>0</GrandTotalDiscounts><TrainingMode>False</TrainingMode>"
           "</FPRCounters>";
  }
  fs::path fFolder;
  int fNumber = 0;
};

BareZ& TheBareZ() {
  static BareZ bare(TheHost().Folder());
  return bare;
}

// ---------------------------------------------------------------------------------------------------------

void BM_PROCESSGETSTATUS(benchmark::State& aState) {
  for (auto _ : aState) {
    if (!TheHost().Status()) aState.SkipWithError("PROCESSGETSTATUS failed");
  }
}
BENCHMARK(BM_PROCESSGETSTATUS)->Unit(benchmark::kMicrosecond);

void BM_PROCESSXREPORT(benchmark::State& aState) {
  for (auto _ : aState) {
    if (!TheHost().XReport()) aState.SkipWithError("PROCESSXREPORT failed");
  }
}
BENCHMARK(BM_PROCESSXREPORT)->Unit(benchmark::kMicrosecond);

void BM_PROCESSZREPORT(benchmark::State& aState) {
  for (auto _ : aState) {
    if (!TheHost().ZReport()) aState.SkipWithError("PROCESSZREPORT failed");
  }
}
BENCHMARK(BM_PROCESSZREPORT)->Unit(benchmark::kMicrosecond);

void BM_BareZReportFileWork(benchmark::State& aState) {
  for (auto _ : aState) TheBareZ().Run();
}
BENCHMARK(BM_BareZReportFileWork)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------------------------------------
// Medians of single calls: status and X report in runs of their own, as a host makes them; the Z report and
// the bare work interleaved so that both meet the same disk.

void PrintSummary(int aSamples) {
  std::vector<double> status, x, z, bare;
  for (int i = 0; i < aSamples; ++i) status.push_back(Microseconds([] { TheHost().Status(); }));
  for (int i = 0; i < aSamples; ++i) x.push_back(Microseconds([] { TheHost().XReport(); }));
  for (int i = 0; i < aSamples; ++i) {
    z.push_back(Microseconds([] { TheHost().ZReport(); }));
    bare.push_back(Microseconds([] { TheBareZ().Run(); }));
  }
  const double zMedian = Median(z);
  const double bareMedian = Median(bare);
  std::printf("\nMedians of %d single calls (microseconds), data folder %s\n", aSamples,
              TheHost().Folder().c_str());
  std::printf("  PROCESSGETSTATUS           %10.1f   (target <= 200)\n", Median(status));
  std::printf("  PROCESSXREPORT             %10.1f   (target <= 200)\n", Median(x));
  std::printf("  PROCESSZREPORT             %10.1f\n", zMedian);
  std::printf("  bare Z report file work    %10.1f\n", bareMedian);
  std::printf("  ratio Z report / bare      %10.2f   (target <= 1.5)\n", zMedian / bareMedian);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  const char* samples = getenv("QZFP_BENCH_SAMPLES");
  PrintSummary(samples != nullptr ? std::max(1, atoi(samples)) : 300);
  benchmark::Shutdown();
  return 0;
}
