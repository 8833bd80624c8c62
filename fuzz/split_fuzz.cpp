// Fuzzes the split-set reader. The input's first five bytes say how to cut the
// rest into volumes f.zip.001 .. f.zip.003 in a fresh folder:
//
//   +0 u8   bit 0: three volumes (else two)  bit 1: equal cuts (else free)
//           bit 2: leave the middle volume out
//   +1 u16  first cut (equal cuts: the volume size)
//   +3 u16  second cut
//   +5      the archive bytes
//
// Each run opens the set, reads it whole and in pieces, then lets libzip open
// it through the set's zip_source and read every entry. It aborts when a
// result is outside the documented codes, when a set that opened reads other
// bytes than its volumes, or when a failure names no volume.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>
#include <unistd.h>
#include <zip.h>

#include "engine/io/split_set.h"
#include "engine/zip/zip_central_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kControl = 5;
constexpr std::uint64_t kMaxEntryRead = 1 << 20;
constexpr zip_int64_t kMaxEntries = 256;

void Check(bool ok) {
  if (!ok) std::abort();
}

// One folder per process, emptied after each run and removed at exit.
struct Folder {
  fs::path path = fs::temp_directory_path() / ("kx-split-fuzz-" + std::to_string(::getpid()));
  Folder() {
    fs::remove_all(path);
    fs::create_directories(path);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::vector<std::size_t> Cuts(const std::uint8_t* control, std::size_t len) {
  const bool three = control[0] & 1;
  const std::size_t a = control[1] | (control[2] << 8);
  const std::size_t b = control[3] | (control[4] << 8);
  std::vector<std::size_t> cuts;
  if (control[0] & 2) {
    const std::size_t volume = std::max<std::size_t>(1, a);
    for (std::size_t at = volume; at < len && cuts.size() < (three ? 2u : 1u); at += volume) cuts.push_back(at);
  } else {
    cuts.push_back(a % (len + 1));
    if (three) cuts.push_back(cuts[0] + b % (len - cuts[0] + 1));
  }
  cuts.push_back(len);
  return cuts;
}

void ReadEntries(const kx::SplitSet& set) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = set.MakeZipSource(&error);
  Check(source != nullptr);
  zip_t* za = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (!za) {
    zip_source_free(source);
    zip_error_fini(&error);
    return;
  }
  std::vector<char> buf(64 * 1024);
  const zip_int64_t n = std::min(zip_get_num_entries(za, 0), kMaxEntries);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
    if (!f) continue;
    std::uint64_t total = 0;
    for (zip_int64_t got = 1; got > 0 && total < kMaxEntryRead; total += static_cast<std::uint64_t>(got))
      got = std::max<zip_int64_t>(zip_fread(f, buf.data(), buf.size()), 0);
    zip_fclose(f);
  }
  zip_discard(za);
  zip_error_fini(&error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kControl) return 0;
  const std::uint8_t* archive = data + kControl;
  const std::size_t len = size - kControl;
  const std::vector<std::size_t> cuts = Cuts(data, len);
  const bool dropMiddle = (data[0] & 4) && cuts.size() == 3;

  static const Folder scratch;
  const fs::path& folder = scratch.path;
  const std::string first = (folder / "f.zip.001").string();
  std::string present;  // the bytes of the volumes on disk, in order
  std::size_t from = 0;
  for (std::size_t i = 0; i < cuts.size(); ++i) {
    const std::string path = kx::SplitSet::VolumeName(first, static_cast<int>(i + 1));
    if (!(dropMiddle && i == 1)) {
      std::ofstream out(path, std::ios::binary | std::ios::trunc);
      out.write(reinterpret_cast<const char*>(archive + from), static_cast<std::streamsize>(cuts[i] - from));
      present.append(reinterpret_cast<const char*>(archive + from), cuts[i] - from);
    }
    from = cuts[i];
  }

  int asks = 0;
  kx::SplitSet set;
  const kx::Result r = set.Open(first, [&](int number, const std::string& path) {
    Check(path == kx::SplitSet::VolumeName(first, number));
    ++asks;
    return false;
  });
  Check(r == kx::rc::Ok || r == kx::rc::ArchiveError || r == kx::rc::FileNotFound);
  Check(asks == (r == kx::rc::FileNotFound ? 1 : 0));
  if (r != kx::rc::Ok) {
    Check(set.size() == 0 && set.problemVolume().rfind(first.substr(0, first.size() - 3), 0) == 0);
  } else {
    Check(!dropMiddle && set.size() == present.size() && set.volumeCount() == cuts.size());
    std::string whole(present.size(), '\0');
    Check(set.read(0, whole.data(), whole.size()) && whole == present);
    for (std::size_t at = 0; at < present.size(); at += 7) {
      char piece[13];
      const std::size_t n = std::min<std::size_t>(sizeof piece, present.size() - at);
      Check(set.read(at, piece, n) && present.compare(at, n, piece, n) == 0);
      Check(!set.VolumeAt(at).empty());
    }
    char past;
    Check(!set.read(present.size(), &past, 1));
    kx::CentralDirectory cd;
    (void)kx::ReadCentralDirectory(set, cd);
    ReadEntries(set);
  }
  for (int n = 1; n <= 3; ++n) {
    std::error_code ec;
    fs::remove(kx::SplitSet::VolumeName(first, n), ec);
  }
  return 0;
}
