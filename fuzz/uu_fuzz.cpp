// Fuzzes the UU decoder with whole input files. Each run decodes into a fresh
// folder beside the input and aborts when anything appears outside that folder,
// when a folder, symlink or temporary file is left inside it, or when a failed
// run still left files behind.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <unistd.h>

#include "engine/uu/uucode.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshBase() {
  static int counter = 0;
  fs::path base = fs::temp_directory_path() / ("kx-uu-fuzz-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  fs::remove_all(base);
  fs::create_directories(base / "out");
  return base;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path base = FreshBase();
  {
    std::ofstream in(base / "in.uue", std::ios::binary);
    in.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const kx::Result r = kx::UuDecodeFile((base / "in.uue").string(), (base / "out").string());

  std::size_t inside = 0;
  for (const auto& e : fs::directory_iterator(base)) {
    const std::string name = e.path().filename().string();
    Check(name == "in.uue" || name == "out");
  }
  for (const auto& e : fs::directory_iterator(base / "out")) {
    Check(e.is_regular_file() && !e.is_symlink());
    Check(e.path().filename().string().rfind(".kxuu-", 0) != 0);
    ++inside;
  }
  // Success, or the codes of a refused block; success means a file came out.
  Check(r == kx::rc::Ok || r == kx::rc::ArchiveError || r == kx::rc::AccessDenied || r == kx::rc::DiskFull);
  if (r == kx::rc::Ok) Check(inside > 0);
  std::error_code ec;
  fs::remove_all(base, ec);
  return 0;
}
