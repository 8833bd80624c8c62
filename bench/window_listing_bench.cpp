// Google Benchmark of the archive window's listing: viewzip on archives of
// 10,000, 100,000 and 1,000,000 entries (read, rows, icons, types, first sort), and
// re-sorting the listed rows by size and by name, as a column click does.
// Runs on Qt's offscreen platform; reports the time per entry and the peak
// resident memory. User-interface thread only.
#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "bench_archives.h"

namespace {

using kxbench::ArchiveWith;

void Report(benchmark::State& state, long count) {
  state.counters["per_entry"] = benchmark::Counter(static_cast<double>(count) * state.iterations(),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["peak_rss_kb"] = static_cast<double>(kxbench::PeakRssKb());
}

void BM_WindowListing(benchmark::State& state) {
  const long count = state.range(0);
  const std::string archive = ArchiveWith(count);
  if (archive.empty()) return state.SkipWithError("could not make the archive with python3 zipfile");
  kx::ArchiveWindow window;
  window.show();
  kx::ProgramState().CurrentArchive = QString::fromStdString(archive);
  for (auto _ : state) {
    window.viewzip(kx::ProgramState().CurrentArchive);
    QApplication::processEvents();  // the first paint of the list
    if (window.ListView1->rowCount() != count) return state.SkipWithError("listing incomplete");
  }
  Report(state, count);
}

void BM_WindowSort(benchmark::State& state) {
  const long count = state.range(0);
  const int column = static_cast<int>(state.range(1));
  const std::string archive = ArchiveWith(count);
  if (archive.empty()) return state.SkipWithError("could not make the archive with python3 zipfile");
  kx::ArchiveWindow window;
  window.show();
  kx::ProgramState().CurrentArchive = QString::fromStdString(archive);
  window.viewzip(kx::ProgramState().CurrentArchive);
  for (auto _ : state) {
    window.ListView1_ColumnClick(column);
    QApplication::processEvents();
  }
  Report(state, count);
}

// bench/run.sh runs 1,000,000 on its own, so that its peak memory is its own.
BENCHMARK(BM_WindowListing)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
// Columns: 0 name, 1 size.
BENCHMARK(BM_WindowSort)->Args({100000, 0})->Args({100000, 1})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
