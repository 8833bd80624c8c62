#include "engine/io/split_set.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/io/file_io.h"
#include "engine/zip/zip_sources.h"
#include "engine/zip/zip_central_dir.h"

namespace kx {
namespace {

// Volume names end in a dot and at least three digits: x.001 ... x.999, x.1000.
constexpr std::size_t kDigits = 3;
// The prompt carries the volume number as a 16-bit value.
constexpr int kMaxVolumes = std::numeric_limits<std::int16_t>::max();

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Opens one volume read-only; 0 or the errno of the failure. A FIFO would block
// open() until someone writes to it, so the open itself does not block.
int OpenVolume(const std::string& path, int& fd, std::uint64_t& size) {
  fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno;
  struct stat st {};
  int err = 0;
  if (::fstat(fd, &st) != 0) {
    err = errno;
  } else if (S_ISDIR(st.st_mode)) {
    err = EISDIR;
  } else if (S_ISREG(st.st_mode)) {
    if (st.st_size < 0) err = EINVAL;
    size = static_cast<std::uint64_t>(st.st_size);
  } else {
    // Block devices know their size only through lseek; pipes and terminals have none.
    const off_t end = ::lseek(fd, 0, SEEK_END);
    size = end > 0 ? static_cast<std::uint64_t>(end) : 0;
  }
  if (err == 0) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return 0;
  }
  ::close(fd);
  fd = -1;
  return err;
}

// The lowest-numbered volume above `number` that exists in the first volume's
// folder, or empty. Tells a gap in the numbering from the end of the set.
std::string VolumeAbove(const std::string& firstVolume, int number) {
  namespace fs = std::filesystem;
  const fs::path first(firstVolume);
  std::string stem = first.filename().string();
  stem.resize(stem.size() - kDigits);
  fs::path folder = first.parent_path();
  if (folder.empty()) folder = ".";
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  int best = 0;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < stem.size() + kDigits || name.size() > stem.size() + 5 ||
        name.compare(0, stem.size(), stem) != 0)
      continue;
    const std::string digits = name.substr(stem.size());
    if (!std::all_of(digits.begin(), digits.end(), IsDigit)) continue;
    const int n = std::stoi(digits);  // at most five digits: no overflow
    if (n <= number || n > kMaxVolumes || (best != 0 && n >= best)) continue;
    if (fs::path(SplitSet::VolumeName(firstVolume, n)).filename() == name) best = n;  // "x.0005" is no volume
  }
  return best ? SplitSet::VolumeName(firstVolume, best) : std::string();
}

// Index of the volume that breaks the plain cut, or npos: every volume but the
// last has the size of the first, and the last is no longer. A first volume
// shorter than the second is taken for the one cut short unless a third,
// not last, volume disagrees with the second.
std::size_t BadlyCutVolume(const std::vector<std::uint64_t>& sizes) {
  constexpr std::size_t kNone = std::size_t(-1);
  const std::size_t n = sizes.size();
  if (n < 2) return kNone;
  const std::uint64_t cut = sizes[0];
  if (cut == 0) return 0;
  if (sizes[1] > cut) return (n > 3 && sizes[2] != sizes[1]) ? 1 : 0;
  for (std::size_t i = 1; i + 1 < n; ++i)
    if (sizes[i] != cut) return i;
  return sizes[n - 1] > cut ? n - 1 : kNone;
}

}  // namespace

SplitSet::~SplitSet() { CloseAll(); }

void SplitSet::CloseAll() {
  for (Volume& v : volumes_)
    if (v.fd >= 0) ::close(v.fd);
  volumes_.clear();
  total_ = 0;
}

Result SplitSet::Open(const std::string& firstVolume, const AskForVolume& ask) {
  CloseAll();
  problem_.clear();
  const std::string first = FirstVolumeOf(firstVolume);
  if (first.empty()) {
    problem_ = firstVolume;
    return rc::UnknownArchiveType;
  }
  for (;;) {
    int missing = 0;
    Result r = Scan(first, missing);
    if (r != rc::Ok) {
      CloseAll();
      return r;
    }
    // Steps: find the volume whose end is the archive's end; a later volume is
    // extra, an earlier one of the wrong size was cut short; no end at all
    // means a volume is missing (or the last one is damaged).
    std::vector<std::uint64_t> sizes;
    for (const Volume& v : volumes_) sizes.push_back(v.size);
    std::size_t endsIn = volumes_.size();
    for (std::size_t i = 0; i + 1 < volumes_.size() && endsIn == volumes_.size(); ++i)
      if (EndsWithDirectoryEnd(volumes_[i].start + volumes_[i].size)) endsIn = i;
    std::uint64_t at = 0;
    // The last volume needs no more than an end record there: a reordered set
    // passes here and is caught by content later.
    if (endsIn == volumes_.size() && !volumes_.empty() && FindEndRecordIn(*this, total_, true, at))
      endsIn = volumes_.size() - 1;

    std::string culprit;
    int need = 0;
    if (volumes_.empty()) {
      need = 1;
    } else if (endsIn + 1 < volumes_.size()) {
      culprit = volumes_[endsIn + 1].path;  // the archive ended before it
    } else if (const std::size_t bad = BadlyCutVolume(sizes); bad < volumes_.size()) {
      culprit = volumes_[bad].path;
    } else if (endsIn == volumes_.size()) {
      const bool gap = !VolumeAbove(first, missing).empty();
      if (gap || sizes.back() == sizes.front()) need = missing;
      else culprit = volumes_.back().path;  // short, and nothing follows: its end is damaged
    } else {
      culprit = VolumeAbove(first, missing);  // a stray volume after a gap
    }

    if (need == 0 && culprit.empty()) return rc::Ok;
    CloseAll();
    if (!culprit.empty()) {
      problem_ = culprit;
      return rc::ArchiveError;
    }
    problem_ = VolumeName(first, need);
    if (!ask || !ask(need, problem_)) return rc::FileNotFound;
    problem_.clear();
  }
}

Result SplitSet::Scan(const std::string& firstVolume, int& missing) {
  CloseAll();
  missing = 0;
  for (int number = 1; number <= kMaxVolumes; ++number) {
    Volume v;
    v.path = VolumeName(firstVolume, number);
    const int err = OpenVolume(v.path, v.fd, v.size);
    if (err == ENOENT || err == ENOTDIR) {
      missing = number;
      return rc::Ok;
    }
    if (err != 0 || v.size > std::numeric_limits<std::uint64_t>::max() - total_) {
      if (v.fd >= 0) ::close(v.fd);
      problem_ = v.path;
      return err != 0 ? ResultFromErrno(err) : rc::Overflow;
    }
    v.start = total_;
    total_ += v.size;
    volumes_.push_back(std::move(v));
  }
  problem_ = VolumeName(firstVolume, kMaxVolumes);
  return rc::TooManyFiles;
}

bool SplitSet::EndsWithDirectoryEnd(std::uint64_t end) const {
  std::uint64_t at = 0;
  if (!FindEndRecordIn(*this, end, true, at)) return false;
  DirectoryPlace place;
  if (ReadDirectoryPlace(*this, at, place) != rc::Ok) return false;
  // An end record inside the data (a stored ZIP, say) rarely has a directory
  // right where its offset points, in this set's coordinates.
  if (place.size == 0) return place.entryCount == 0;
  std::uint8_t sig[4];
  return read(place.offset, sig, sizeof sig) && Le32(sig) == zipsig::kCentralHeader;
}

bool SplitSet::read(std::uint64_t offset, void* out, std::size_t n) const {
  if (!contains(offset, n)) return false;
  if (n == 0) return true;
  const auto after = std::upper_bound(volumes_.begin(), volumes_.end(), offset,
                                      [](std::uint64_t o, const Volume& v) { return o < v.start; });
  std::size_t i = static_cast<std::size_t>(after - volumes_.begin()) - 1;
  auto* dst = static_cast<std::uint8_t*>(out);
  while (n > 0) {
    if (i >= volumes_.size()) return false;
    const Volume& v = volumes_[i];
    const std::uint64_t within = offset - v.start;
    if (within >= v.size) {
      ++i;
      continue;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(n, v.size - within));
    if (ReadExactAt(v.fd, dst, want, within) != 0) return false;  // the volume shrank since Open
    dst += want;
    offset += want;
    n -= want;
  }
  return true;
}

std::string SplitSet::VolumeAt(std::uint64_t offset) const {
  if (volumes_.empty()) return {};
  if (offset >= total_) return volumes_.back().path;
  const auto after = std::upper_bound(volumes_.begin(), volumes_.end(), offset,
                                      [](std::uint64_t o, const Volume& v) { return o < v.start; });
  return std::prev(after)->path;
}

zip_source_t* SplitSet::MakeZipSource(zip_error_t* error) const { return kx::MakeZipSource(*this, error); }

std::string SplitSet::VolumeName(const std::string& firstVolume, int number) {
  const std::size_t n = firstVolume.size();
  if (number < 1 || n < kDigits || !std::all_of(firstVolume.end() - kDigits, firstVolume.end(), IsDigit))
    return {};
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", number);
  return firstVolume.substr(0, n - kDigits) + digits;
}

std::string SplitSet::FirstVolumeOf(const std::string& path) {
  const std::size_t n = path.size();
  if (n < kDigits + 2) return {};  // at least one character of name before the dot
  const std::size_t dot = n - kDigits - 1;
  if (path[dot] != '.' || path[dot - 1] == '/') return {};
  if (!std::all_of(path.end() - kDigits, path.end(), IsDigit)) return {};
  if (path.compare(dot + 1, kDigits, "000") == 0) return {};
  return VolumeName(path, 1);
}

}  // namespace kx
