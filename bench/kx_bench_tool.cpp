// Benchmark driver: runs one KxZip action from the command line so that the
// benchmark script can time the engine beside the peer programs.
//
//   kx_bench_tool create  ARCHIVE FOLDER [LEVEL 1..4]   add FOLDER recursively
//   kx_bench_tool extract ARCHIVE FOLDER                 every entry, overwriting
//   kx_bench_tool list    ARCHIVE                        prints the entry count
//   kx_bench_tool test    ARCHIVE
//   kx_bench_tool delete  ARCHIVE NAME...
//   kx_bench_tool comment ARCHIVE TEXT
//
// Single thread. Exit status 0 on success, 1 when the engine reported a
// nonzero result (printed on standard error), 2 for a wrong command line.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/functions/kx_functions.h"
#include "engine/kxzip.h"

namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

int Usage() {
  std::fputs("usage: kx_bench_tool create|extract|list|test|delete|comment ARCHIVE [ARGS]\n", stderr);
  return 2;
}

// Runs the action; questions are declined, so nothing waits for a user.
int Run(kx::KxZip& zip, std::int16_t action, const char* what) {
  std::int16_t firstEvent = 0;
  zip.Progress = [&](kx::ProgressEvent& e) {
    if (e.MsgType != 0 && firstEvent == 0) firstEvent = e.MsgType;
  };
  zip.Prompt = [](kx::PromptEvent& e) { e.Reply = kx::reply::No; };
  zip.SetAction(action);
  const std::int16_t r = zip.LastResult() != kx::rc::Ok ? zip.LastResult() : firstEvent;
  if (r != kx::rc::Ok) {
    std::fprintf(stderr, "kx_bench_tool %s: result %d\n", what, r);
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string command = argv[1];
  kx::KxZip zip;
  zip.ZipFile = fs::absolute(argv[2]).string();

  if (command == "create" && (argc == 4 || argc == 5)) {
    zip.FileSpec = Quoted(fs::absolute(argv[3]).lexically_normal().string());
    zip.StorePaths = 2;
    zip.Recurse = true;
    if (argc == 5) zip.CompressionLevel = static_cast<std::int16_t>(std::atoi(argv[4]));
    return Run(zip, kx::action::Add, "create");
  }
  if (command == "extract" && argc == 4) {
    zip.FileSpec = "*";
    zip.TargetDir = fs::absolute(argv[3]).string();
    zip.OverwriteMode = 1;
    zip.RestoreFolders = true;
    return Run(zip, kx::action::Extract, "extract");
  }
  if (command == "list" && argc == 3) {
    const int status = Run(zip, kx::action::ReadDirectory, "list");
    if (status == 0) std::printf("%d\n", zip.EntryCount());
    return status;
  }
  if (command == "test" && argc == 3) {
    zip.FileSpec = "*";
    return Run(zip, kx::action::Test, "test");
  }
  if (command == "delete" && argc >= 4) {
    for (int i = 3; i < argc; ++i) zip.FileSpec += (i > 3 ? " " : "") + Quoted(argv[i]);
    return Run(zip, kx::action::Delete, "delete");
  }
  if (command == "comment" && argc == 4) {
    // The comment change alone, as the settings dialog makes it: no listing.
    KxHandle handle = 0;
    std::int16_t r = KxZipOpen(zip.ZipFile, 0, handle);
    if (r == kx::rc::Ok) r = KxZipNewComment(handle, argv[3]);
    KxZipClose(handle);
    if (r != kx::rc::Ok) std::fprintf(stderr, "kx_bench_tool comment: result %d\n", r);
    return r == kx::rc::Ok ? 0 : 1;
  }
  return Usage();
}
