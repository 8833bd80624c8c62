#pragma once
// SplitSet: the volumes name.001, name.002, ... of a split ZIP archive read as
// one stream of bytes. The volumes are plain pieces of one archive cut at
// fixed sizes (our own sets and those of `7zz a -v100k x.zip` alike), so an
// offset in the archive is an offset in the concatenation.
//
// Open checks the set before anything reads it:
//   missing   a numbered gap, or no volume ends the archive -> asks, retries
//             (declined: rc::FileNotFound)
//   extra     the archive ends inside an earlier volume, or a
//             volume follows a gap after the end            -> rc::ArchiveError
//   truncated a volume other than the last is shorter (or
//             longer) than the first                        -> rc::ArchiveError
//   damaged   the last volume is short, nothing follows it,
//             and no end record ends it                     -> rc::ArchiveError
// The volume an error is about is in problemVolume(). Reordered volumes pass
// Open; the ZIP reader notices them by content (local header signatures at
// the offsets the central directory names) and asks VolumeAt for the culprit.
//
// Ownership: the set owns one read-only descriptor per volume. A zip_source
// made by MakeZipSource refers to the set, which must outlive it. read() uses
// pread only, so several threads may read through one set.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <zip.h>

#include "engine/io/byte_source.h"
#include "engine/result_codes.h"

namespace kx {

class SplitSet final : public ByteSource {
 public:
  // Asked for a missing volume (number from 1, its path); true = try again.
  using AskForVolume = std::function<bool(int number, const std::string& path)>;

  SplitSet() = default;
  ~SplitSet() override;
  SplitSet(const SplitSet&) = delete;
  SplitSet& operator=(const SplitSet&) = delete;

  // firstVolume ends in ".001" (another volume's name stands for its set; a
  // name that is no volume: rc::UnknownArchiveType). A missing first volume
  // is asked for like any other. Calling thread; ask runs on it too.
  Result Open(const std::string& firstVolume, const AskForVolume& ask);

  std::uint64_t size() const override { return total_; }
  bool read(std::uint64_t offset, void* out, std::size_t n) const override;

  std::size_t volumeCount() const { return volumes_.size(); }
  // Path of the volume holding offset (the last volume for offsets past the end).
  std::string VolumeAt(std::uint64_t offset) const;
  const std::string& problemVolume() const { return problem_; }

  // A libzip source over the whole set (MakeZipSource of zip_sources.h).
  zip_source_t* MakeZipSource(zip_error_t* error) const;

  // "x.zip.001", 3 -> "x.zip.003".
  static std::string VolumeName(const std::string& firstVolume, int number);
  // The first volume's name for a numbered volume ("x.007" -> "x.001");
  // empty when the name does not end in a dot and three digits.
  static std::string FirstVolumeOf(const std::string& path);

 private:
  struct Volume {
    std::string path;
    int fd = -1;
    std::uint64_t start = 0;
    std::uint64_t size = 0;
  };
  void CloseAll();
  // Opens volumes 1, 2, ... up to the first that does not exist (its number in missing).
  Result Scan(const std::string& firstVolume, int& missing);
  bool EndsWithDirectoryEnd(std::uint64_t end) const;

  std::vector<Volume> volumes_;
  std::uint64_t total_ = 0;
  std::string problem_;
};

}  // namespace kx
