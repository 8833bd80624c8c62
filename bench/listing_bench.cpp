// Google Benchmark of the archive listing (KxZip action 1) on archives of
// 10,000 and 100,000 tiny entries. The archives are made once by Python's
// zipfile in the cache folder ($KX_BENCH_DIR, default /tmp/kravix-bench) and
// reused. Reports the time per entry and the process's peak resident memory.
// Single thread; a failed setup or listing ends the benchmark with an error.
#include <benchmark/benchmark.h>

#include <string>

#include "bench_archives.h"
#include "engine/kxzip.h"

namespace {

using kxbench::ArchiveWith;
using kxbench::PeakRssKb;

void BM_ListArchive(benchmark::State& state) {
  const long count = state.range(0);
  const std::string archive = ArchiveWith(count);
  if (archive.empty()) {
    state.SkipWithError("could not make the archive with python3 zipfile");
    return;
  }
  for (auto _ : state) {
    kx::KxZip zip;
    zip.ZipFile = archive;
    zip.SetAction(kx::action::ReadDirectory);
    if (zip.LastResult() != kx::rc::Ok || zip.EntryCount() != count) {
      state.SkipWithError(("listing failed, result " + std::to_string(zip.LastResult()) + ", entries " +
                           std::to_string(zip.EntryCount()))
                              .c_str());
      return;
    }
    benchmark::DoNotOptimize(zip.EntryCount());
  }
  state.counters["per_entry"] = benchmark::Counter(static_cast<double>(count) * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_rss_kb"] = static_cast<double>(PeakRssKb());
  state.SetItemsProcessed(count * state.iterations());
}

BENCHMARK(BM_ListArchive)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
