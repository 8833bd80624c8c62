#pragma once
// RawZip: writes ZIP bytes field by field, for fixtures no packer will make
// (hostile names, lying directories, link entries, set-id modes). Entries
// are stored (method 0) unless a test sets the method; each local header and
// central record can be edited before Finish writes the directory.
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "support/test_support.h"

namespace kxtest {

inline std::uint32_t Crc32(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Unix mode bits as external attributes of an entry made on Unix.
inline std::uint32_t UnixAttributes(std::uint32_t mode) { return mode << 16; }
inline constexpr std::uint32_t kRegular = 0100000;
inline constexpr std::uint32_t kSymlink = 0120000;
inline constexpr std::uint32_t kFolder = 0040000;

struct RawEntry {
  std::string name;                 // bytes as stored, NULs included
  std::string data;                 // stored bytes (uncompressed unless method says otherwise)
  std::uint16_t method = 0;
  std::uint16_t flags = 0;
  std::uint16_t madeBy = 0x0314;    // host 3 (Unix), version 2.0
  std::uint32_t externalAttributes = UnixAttributes(kRegular | 0644);
  std::uint16_t dosTime = (7 << 11) | (8 << 5) | 5;         // 07:08:10
  std::uint16_t dosDate = ((2020 - 1980) << 9) | (5 << 5) | 6;  // 06.05.2020
  std::string extra;                // in both headers
  std::uint32_t crc = 0;            // computed by Add unless crcOverride
  bool crcOverride = false;
  std::uint64_t size = 0;           // computed by Add (data length) unless sizeOverride
  bool sizeOverride = false;
  std::uint32_t packedOverride = 0;  // central packed size when not 0
  std::uint32_t localOffset = 0;    // set by Add
};

class RawZip {
 public:
  // Bytes before the first entry (a spanning marker, a stub).
  explicit RawZip(std::string prefix = {}) : bytes_(std::move(prefix)) {}

  void Add(RawEntry e) {
    if (!e.crcOverride) e.crc = Crc32(e.data);
    if (!e.sizeOverride) e.size = e.data.size();
    e.localOffset = static_cast<std::uint32_t>(bytes_.size());
    Put32(bytes_, 0x04034b50);
    Put16(bytes_, 20);
    Put16(bytes_, e.flags);
    Put16(bytes_, e.method);
    Put16(bytes_, e.dosTime);
    Put16(bytes_, e.dosDate);
    Put32(bytes_, e.crc);
    Put32(bytes_, static_cast<std::uint32_t>(e.data.size()));
    Put32(bytes_, static_cast<std::uint32_t>(e.size));
    Put16(bytes_, static_cast<std::uint32_t>(e.name.size()));
    Put16(bytes_, static_cast<std::uint32_t>(e.extra.size()));
    bytes_ += e.name;
    bytes_ += e.extra;
    bytes_ += e.data;
    central.push_back(std::move(e));
  }

  // Central directory and end record. countOverride/offsetDelta make lying ones.
  std::string Finish(std::int64_t countOverride = -1, std::int64_t offsetDelta = 0,
                     const std::string& comment = {}) const {
    std::string out = bytes_;
    const auto dirAt = static_cast<std::uint32_t>(out.size());
    for (const RawEntry& e : central) {
      Put32(out, 0x02014b50);
      Put16(out, e.madeBy);
      Put16(out, 20);
      Put16(out, e.flags);
      Put16(out, e.method);
      Put16(out, e.dosTime);
      Put16(out, e.dosDate);
      Put32(out, e.crc);
      Put32(out, e.packedOverride ? e.packedOverride : static_cast<std::uint32_t>(e.data.size()));
      Put32(out, static_cast<std::uint32_t>(e.size));
      Put16(out, static_cast<std::uint32_t>(e.name.size()));
      Put16(out, static_cast<std::uint32_t>(e.extra.size()));
      Put16(out, 0);  // comment
      Put16(out, 0);  // disk
      Put16(out, 0);  // internal attributes
      Put32(out, e.externalAttributes);
      Put32(out, e.localOffset);
      out += e.name;
      out += e.extra;
    }
    const auto dirSize = static_cast<std::uint32_t>(out.size() - dirAt);
    const auto count = static_cast<std::uint32_t>(countOverride >= 0 ? countOverride : std::int64_t(central.size()));
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count);
    Put16(out, count);
    Put32(out, dirSize);
    Put32(out, static_cast<std::uint32_t>(dirAt + offsetDelta));
    Put16(out, static_cast<std::uint32_t>(comment.size()));
    out += comment;
    return out;
  }

  // The bytes written so far (local headers and data).
  const std::string& bytes() const { return bytes_; }

  std::vector<RawEntry> central;  // editable before Finish (central fields only)

 private:
  std::string bytes_;
};

// A plain stored file entry.
inline RawEntry FileEntry(std::string name, std::string data, std::uint32_t mode = 0644) {
  RawEntry e;
  e.name = std::move(name);
  e.data = std::move(data);
  e.externalAttributes = UnixAttributes(kRegular | mode);
  return e;
}

inline RawEntry LinkEntry(std::string name, std::string target) {
  RawEntry e = FileEntry(std::move(name), std::move(target));
  e.externalAttributes = UnixAttributes(kSymlink | 0777);
  return e;
}

}  // namespace kxtest
