#pragma once
// Archives for the listing benchmarks, made once by Python's zipfile in the
// cache folder ($KX_BENCH_DIR, default /tmp/kravix-bench) and reused, and the
// process's peak memory. Single thread.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace kxbench {

namespace fs = std::filesystem;

inline fs::path CacheFolder() {
  const char* env = std::getenv("KX_BENCH_DIR");
  return env && *env ? fs::path(env) : fs::path("/tmp/kravix-bench");
}

// Entry names spread over 100 folders, contents a few bytes each.
inline constexpr const char* kMakeArchive = R"(
import sys, zipfile
path, count = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(path + '.part', 'w', zipfile.ZIP_DEFLATED) as z:
    for i in range(count):
        z.writestr('d%02d/f%06d.txt' % (i % 100, i), 'Eintrag %d\n' % i)
import os
os.replace(path + '.part', path)
)";

inline bool RunProgram(std::vector<std::string> args) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return false;
  int status = 0;
  return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The archive with `count` entries, made when missing; empty on failure.
inline std::string ArchiveWith(long count) {
  const fs::path folder = CacheFolder() / "listing";
  const fs::path archive = folder / ("entries-" + std::to_string(count) + ".zip");
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::exists(archive) && !RunProgram({"python3", "-c", kMakeArchive, archive.string(), std::to_string(count)})) {
    return {};
  }
  return archive.string();
}

inline long PeakRssKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace kxbench
