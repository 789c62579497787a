// The log writer's two costs: what a caller pays for one Write (formatting and queueing only, never the
// disk), and how many lines per second the writer's thread puts into a local file while it still checks the
// size before every line and opens and closes the file for each one.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/uQZ_LogWriter.h"

namespace fs = std::filesystem;

namespace {

// A typical connection log message: a titled line with a JSON request.
const std::string kMessage =
    "Write:{\"smac\":false,\"amount\":12.5,\"numberPieces\":3,\"numberDocument\":1234,\"typeDocument\":"
    "\"V\"}";

class TemporaryFolder {
 public:
  TemporaryFolder() {
    char pattern[] = "/tmp/qz_bench_log_XXXXXX";
    fPath = mkdtemp(pattern);
  }
  ~TemporaryFolder() { fs::remove_all(fPath); }
  const std::string& Path() const { return fPath; }
  void Clear() const {
    for (const auto& entry : fs::directory_iterator(fPath)) fs::remove_all(entry.path());
  }

 private:
  std::string fPath;
};

// Mean cost of Write per call, the writer's thread draining to disk at the same time.
void BM_Write(benchmark::State& state) {
  TemporaryFolder folder;
  auto writer = std::make_unique<tQZ_LogWriter>("QZFP_VELMO_10_1", folder.Path(), 0, true);
  for (auto _ : state) writer->Write(let_info, kMessage);
  writer.reset();  // drains the queue; the measured loop has ended
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Write)->Iterations(200000)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();

// Per-call latency distribution of Write: median and 99th percentile in nanoseconds.
void BM_WriteLatency(benchmark::State& state) {
  TemporaryFolder folder;
  auto writer = std::make_unique<tQZ_LogWriter>("QZFP_VELMO_10_1", folder.Path(), 0, true);
  std::vector<double> samples;
  samples.reserve(static_cast<std::size_t>(state.max_iterations));
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    writer->Write(let_info, kMessage);
    samples.push_back(
        std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
  }
  writer.reset();
  std::sort(samples.begin(), samples.end());
  state.counters["median_ns"] = samples[samples.size() / 2];
  state.counters["p99_ns"] = samples[samples.size() * 99 / 100];
  state.counters["max_ns"] = samples.back();
}
BENCHMARK(BM_WriteLatency)->Iterations(200000)->UseRealTime();

// Lines per second from the first Write until the last line stands in the file (the writer's destruction
// waits for the queue to drain).
void BM_DrainToFile(benchmark::State& state) {
  TemporaryFolder folder;
  const int lines = static_cast<int>(state.range(0));
  for (auto _ : state) {
    {
      tQZ_LogWriter writer("QZFP_VELMO_10_1", folder.Path(), 0, true);
      for (int i = 0; i < lines; ++i) writer.Write(let_info, kMessage);
    }
    state.PauseTiming();
    folder.Clear();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * lines);
}
BENCHMARK(BM_DrainToFile)
    ->Arg(20000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
