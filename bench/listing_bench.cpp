// Google Benchmark of the archive listing (KxZip action 1) on archives of
// 10,000 and 100,000 tiny entries. The archives are made once by Python's
// zipfile in the cache folder ($KX_BENCH_DIR, default /tmp/kravix-bench) and
// reused. Reports the time per entry and the process's peak resident memory.
// Single thread; a failed setup or listing ends the benchmark with an error.
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/kxzip.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

fs::path CacheFolder() {
  const char* env = std::getenv("KX_BENCH_DIR");
  return env && *env ? fs::path(env) : fs::path("/tmp/kravix-bench");
}

// Entry names spread over 100 folders, contents a few bytes each.
constexpr const char* kMakeArchive = R"(
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path + '.part', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        z.writestr('d%02d/f%06d.txt' % (i % 100, i), 'Eintrag %d\n' % i)
import os
os.replace(path + '.part', path)
)";

bool RunProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The archive with `count` entries, made when missing; empty on failure.
std::string ArchiveWith(long count) {
  const fs::path folder = CacheFolder() / "listing";
  const fs::path archive = folder / ("entries-" + std::to_string(count) + ".zip");
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::exists(archive) && !RunProgram({"python3", "-c", kMakeArchive, archive.string(), std::to_string(count)})) {
    return {};
  }
  return archive.string();
}

long PeakRssKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

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
