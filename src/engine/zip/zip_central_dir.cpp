#include "engine/zip/zip_format.h"
#include "engine/zip/zip_central_dir.h"

#include <algorithm>
#include <functional>

#include <zlib.h>

namespace kx {

using namespace zipfmt;
namespace {

// End record.

// Zip64 locator and end record.

// Central directory record.

std::uint32_t Crc32Of(const std::string& bytes) {
  // crc32 takes a uInt length; names are at most 65,535 bytes.
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Keeps the Unicode path of a 0x7075 field when it belongs to rec's name.
void TakeUnicodePath(const std::uint8_t* data, std::size_t len, CdRecord& rec) {
  if (len < unicodepath::kNameAt || data[0] != unicodepath::kVersion) return;
  if (Le32(data + unicodepath::kCrcAt) != Crc32Of(rec.rawName)) return;  // stale
  rec.hasUnicodeName = true;
  rec.unicodeName.assign(reinterpret_cast<const char*>(data + unicodepath::kNameAt), len - unicodepath::kNameAt);
}

// Takes the next 64-bit Zip64 value for a saturated field; false when the
// extra field is too short to hold it.
bool TakeZip64(const std::uint8_t*& p, const std::uint8_t* end, std::uint64_t& field) {
  if (end - p < 8) return false;
  field = Le64(p);
  p += 8;
  return true;
}

bool ApplyExtras(const std::uint8_t* p, std::size_t n, CdRecord& rec, bool sizeSat, bool packedSat,
                 bool offsetSat, bool diskSat) {
  const std::uint8_t* end = p + n;
  while (end - p >= 4) {
    const std::uint16_t id = Le16(p);
    const std::uint16_t len = Le16(p + 2);
    p += 4;
    if (static_cast<std::size_t>(end - p) < len) return true;  // a ragged tail: ignore it, as libzip does
    const std::uint8_t* data = p;
    const std::uint8_t* dataEnd = p + len;
    if (id == extra::kZip64) {
      if (sizeSat && !TakeZip64(data, dataEnd, rec.size)) return false;
      if (packedSat && !TakeZip64(data, dataEnd, rec.packedSize)) return false;
      if (offsetSat && !TakeZip64(data, dataEnd, rec.localOffset)) return false;
      if (diskSat && dataEnd - data >= 4) rec.diskStart = Le32(data);
    } else if (id == extra::kAes && len >= aesextra::kSize) {
      rec.aesStrength = data[aesextra::kStrengthAt];
      if (rec.method == method::kAes) rec.method = Le16(data + aesextra::kMethodAt);
    } else if (id == extra::kUnicodePath) {
      TakeUnicodePath(data, len, rec);
    }
    p = dataEnd;
  }
  return true;
}

}  // namespace

bool FindEndRecordIn(const ByteSource& src, std::uint64_t end, bool exactEnd, std::uint64_t& offset) {
  if (end > src.size() || end < eocd::kFixedSize) return false;
  const std::uint64_t tailLen = std::min<std::uint64_t>(end, eocd::kFixedSize + eocd::kMaxComment);
  const std::uint64_t tailStart = end - tailLen;
  std::string tail(static_cast<std::size_t>(tailLen), '\0');
  if (!src.read(tailStart, tail.data(), tail.size())) return false;
  const auto* b = reinterpret_cast<const std::uint8_t*>(tail.data());
  bool haveFitting = false;
  std::uint64_t fitting = 0;
  for (std::size_t pos = tail.size() - eocd::kFixedSize + 1; pos-- > 0;) {
    if (b[pos] != 'P' || Le32(b + pos) != zipsig::kEndRecord) continue;
    const std::uint64_t recordEnd = pos + eocd::kFixedSize + Le16(b + pos + eocd::kCommentLengthAt);
    if (recordEnd == tail.size()) {
      offset = tailStart + pos;
      return true;
    }
    if (!exactEnd && !haveFitting && recordEnd <= tail.size()) {
      haveFitting = true;
      fitting = tailStart + pos;
    }
  }
  if (haveFitting) offset = fitting;
  return haveFitting;
}

Result ReadDirectoryPlace(const ByteSource& src, std::uint64_t endAt, DirectoryPlace& out) {
  out = DirectoryPlace{};
  out.failedAt = endAt;
  std::uint8_t end[eocd::kFixedSize];
  if (!src.read(endAt, end, sizeof end)) return rc::ArchiveError;
  out.entryCount = Le16(end + eocd::kCountAt);
  out.size = Le32(end + eocd::kDirSizeAt);
  out.offset = Le32(end + eocd::kDirOffsetAt);
  out.comment.resize(Le16(end + eocd::kCommentLengthAt));
  if (!src.read(endAt + eocd::kFixedSize, out.comment.data(), out.comment.size())) return rc::ArchiveError;

  out.limit = endAt;
  std::uint8_t locator[locator::kSize];
  if (endAt >= locator::kSize && src.read(endAt - locator::kSize, locator, sizeof locator) &&
      Le32(locator) == zipsig::kZip64Locator) {
    const std::uint64_t locatorAt = endAt - locator::kSize;
    const std::uint64_t recordAt = Le64(locator + locator::kRecordAt);
    out.failedAt = locatorAt;
    std::uint8_t z64[zip64eocd::kFixedSize];
    if (recordAt > locatorAt || locatorAt - recordAt < sizeof z64 || !src.read(recordAt, z64, sizeof z64) ||
        Le32(z64) != zipsig::kZip64EndRecord)
      return rc::ArchiveError;
    out.entryCount = Le64(z64 + zip64eocd::kCountAt);
    out.size = Le64(z64 + zip64eocd::kDirSizeAt);
    out.offset = Le64(z64 + zip64eocd::kDirOffsetAt);
    out.limit = recordAt;
  }
  if (out.offset > out.limit || out.size > out.limit - out.offset) return rc::ArchiveError;
  return rc::Ok;
}

namespace {

// The directory's bytes through a window of a few megabytes, so that a
// directory of a million entries is never in memory whole. Any record fits
// in the window: 46 bytes and three fields of at most 65,535 bytes each.
class DirectoryWindow {
 public:
  DirectoryWindow(const ByteSource& src, std::uint64_t offset, std::uint64_t size)
      : src_(src), at_(offset), end_(offset + size),
        bytes_(static_cast<std::size_t>(std::min<std::uint64_t>(size, kWindow))) {}

  // Where the bytes at() point to lie in the archive.
  std::uint64_t offset() const { return at_ + pos_; }
  const std::uint8_t* at() const { return bytes_.data() + pos_; }
  // Makes n bytes from at() on available; false when the directory (or the
  // source) ends before them.
  bool Need(std::size_t n) {
    if (have_ - pos_ >= n) return true;
    std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_), bytes_.begin() + static_cast<std::ptrdiff_t>(have_),
              bytes_.begin());
    at_ += pos_;
    have_ -= pos_;
    pos_ = 0;
    const std::size_t more =
        static_cast<std::size_t>(std::min<std::uint64_t>(bytes_.size() - have_, end_ - at_ - have_));
    if (more > 0 && !src_.read(at_ + have_, bytes_.data() + have_, more)) return false;
    have_ += more;
    return have_ >= n;
  }
  void Skip(std::size_t n) { pos_ += n; }

 private:
  static constexpr std::uint64_t kWindow = 4u << 20;

  const ByteSource& src_;
  std::uint64_t at_;   // archive offset of bytes_[0]
  std::uint64_t end_;  // archive offset where the directory ends
  std::vector<std::uint8_t> bytes_;
  std::size_t have_ = 0;
  std::size_t pos_ = 0;
};

}  // namespace

Result ForEachCentralRecord(const ByteSource& src, CentralDirectory& out,
                            const std::function<Result(CdRecord&)>& visit) {
  out = CentralDirectory{};
  std::uint64_t endAt = 0;
  if (!FindEndRecordIn(src, src.size(), false, endAt)) return rc::UnknownArchiveType;
  out.endRecordOffset = endAt;
  DirectoryPlace place;
  const Result placed = ReadDirectoryPlace(src, endAt, place);
  out.failedAt = place.failedAt;
  if (placed != rc::Ok) return placed;
  out.entryCount = place.entryCount;
  out.directorySize = place.size;
  out.directoryOffset = place.offset;
  out.comment = std::move(place.comment);
  if (out.entryCount > out.directorySize / central::kFixedSize) return rc::ArchiveError;

  DirectoryWindow dir(src, out.directoryOffset, out.directorySize);
  for (std::uint64_t i = 0; i < out.entryCount; ++i) {
    out.failedAt = dir.offset();
    if (!dir.Need(central::kFixedSize)) return rc::ArchiveError;
    const std::uint8_t* r = dir.at();
    if (Le32(r) != zipsig::kCentralHeader) return rc::ArchiveError;
    const std::size_t nameLen = Le16(r + central::kNameLengthAt);
    const std::size_t extraLen = Le16(r + central::kExtraLengthAt);
    const std::size_t commentLen = Le16(r + central::kCommentLengthAt);
    const std::size_t total = central::kFixedSize + nameLen + extraLen + commentLen;
    if (!dir.Need(total)) return rc::ArchiveError;
    r = dir.at();
    CdRecord rec;
    rec.madeBy = Le16(r + central::kMadeByAt);
    rec.flags = Le16(r + central::kFlagsAt);
    rec.method = Le16(r + central::kMethodAt);
    rec.dosTime = Le16(r + central::kTimeAt);
    rec.dosDate = Le16(r + central::kDateAt);
    rec.crc = Le32(r + central::kCrcAt);
    rec.packedSize = Le32(r + central::kPackedAt);
    rec.size = Le32(r + central::kSizeAt);
    rec.diskStart = Le16(r + central::kDiskAt);
    rec.externalAttributes = Le32(r + central::kExternalAt);
    rec.localOffset = Le32(r + central::kLocalOffsetAt);
    rec.rawName.assign(reinterpret_cast<const char*>(r + central::kFixedSize), nameLen);
    if (!ApplyExtras(r + central::kFixedSize + nameLen, extraLen, rec, rec.size == kSaturated32,
                     rec.packedSize == kSaturated32, rec.localOffset == kSaturated32,
                     rec.diskStart == kSaturated16))
      return rc::ArchiveError;
    dir.Skip(total);
    if (const Result v = visit(rec); v != rc::Ok) return v;
  }
  return rc::Ok;
}

Result ReadCentralDirectory(const ByteSource& src, CentralDirectory& out) {
  std::vector<CdRecord> records;
  const Result r = ForEachCentralRecord(src, out, [&](CdRecord& rec) {
    if (records.empty()) records.reserve(static_cast<std::size_t>(out.entryCount));
    records.push_back(std::move(rec));
    return rc::Ok;
  });
  out.records = std::move(records);
  return r;
}

}  // namespace kx
