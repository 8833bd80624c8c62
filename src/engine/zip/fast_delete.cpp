// The record layouts read and patched here are drawn in zip_format.h. Of
// them, a delete by copying rewrites only the central directory (each kept
// record's local header offset, a u32 at +42 or, when that is saturated, a
// u64 in the Zip64 extra field after the saturated sizes) and the tail: the
// Zip64 end record and locator while the counts or offsets need them, and
// the end record. Everything before the directory is copied as it is.
#include "engine/zip/fast_delete.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/io/file_io.h"
#include "engine/io/byte_source.h"
#include "engine/io/replace_file.h"
#include "engine/zip/zip_entry_name.h"
#include "engine/zip/zip_format.h"

namespace kx {

using namespace zipfmt;

namespace {

// The flags that change how an entry's bytes are laid out or read:
// encrypted, data descriptor, strong encryption.
constexpr std::uint16_t kLayoutFlags = flag::kEncrypted | flag::kDescriptor | flag::kStrongEncryption;

// The kernel copies in pieces of this size; progress and the cancel switch
// are looked at between them.
constexpr std::uint64_t kPiece = 8u << 20;
constexpr std::uint64_t kPage = 4096;

void Put16(std::string& s, std::uint16_t v) {
  s += static_cast<char>(v & 0xff);
  s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, std::uint32_t v) {
  Put16(s, static_cast<std::uint16_t>(v & 0xffff));
  Put16(s, static_cast<std::uint16_t>(v >> 16));
}
void Put64(std::string& s, std::uint64_t v) {
  Put32(s, static_cast<std::uint32_t>(v & 0xffffffff));
  Put32(s, static_cast<std::uint32_t>(v >> 32));
}
void Poke32(std::string& s, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
void Poke64(std::string& s, std::size_t at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
const std::uint8_t* Bytes(const std::string& s, std::size_t at = 0) {
  return reinterpret_cast<const std::uint8_t*>(s.data()) + at;
}

// Reads the small records spread over the archive (local headers, data
// descriptors) through a window of a few kilobytes: neighbouring small
// entries then cost one system call, not one each.
class WindowReader {
 public:
  explicit WindowReader(const ByteSource& src) : src_(src) {}
  bool Read(std::uint64_t offset, void* out, std::size_t n) {
    if (n > kWindow) return false;
    if (offset < start_ || offset - start_ > length_ || n > length_ - (offset - start_)) {
      length_ = static_cast<std::size_t>(std::min<std::uint64_t>(kWindow, src_.size() - std::min(offset, src_.size())));
      if (length_ < n || !src_.read(offset, window_, length_)) {
        length_ = 0;
        return false;
      }
      start_ = offset;
    }
    std::memcpy(out, window_ + (offset - start_), n);
    return true;
  }

 private:
  static constexpr std::size_t kWindow = 4096;
  const ByteSource& src_;
  std::uint8_t window_[kWindow];
  std::uint64_t start_ = 0;
  std::size_t length_ = 0;
};

// A data descriptor of exactly `length` bytes at `at` that repeats the
// central record's checksum and sizes.
bool DescriptorFits(WindowReader& reader, std::uint64_t at, std::uint64_t length, std::uint32_t crc,
                    std::uint64_t packedSize, std::uint64_t size) {
  if (length != descriptor::kSmall && length != descriptor::kSmall + 4 && length != descriptor::kLarge - 4 &&
      length != descriptor::kLarge)
    return false;
  std::uint8_t d[descriptor::kLarge];
  if (!reader.Read(at, d, static_cast<std::size_t>(length))) return false;
  const std::uint8_t* p = d;
  if (length % 8 == 0) {  // 16 and 24 bytes: with signature
    if (Le32(p) != zipsig::kDescriptor) return false;
    p += 4;
  }
  const bool wide = length >= descriptor::kLarge - 4;
  const std::uint64_t storedPacked = wide ? Le64(p + 4) : Le32(p + 4);
  const std::uint64_t storedSize = wide ? Le64(p + 12) : Le32(p + 8);
  return Le32(p) == crc && storedPacked == packedSize && storedSize == size;
}

// Whether the n bytes at `at` are those of want; read in pieces, as names
// may be longer than the reader's window.
bool SameBytesAt(WindowReader& reader, std::uint64_t at, const std::uint8_t* want, std::size_t n) {
  std::uint8_t piece[1024];
  for (std::size_t done = 0; done < n;) {
    const std::size_t k = std::min(n - done, sizeof piece);
    if (!reader.Read(at + done, piece, k) || std::memcmp(piece, want + done, k) != 0) return false;
    done += k;
  }
  return true;
}

// The sizes in the local header h whose extra field lies at extraAt, a
// saturated one taken from its Zip64 field (which in a local header holds
// both sizes, the size first). false when a saturated size has no value.
bool LocalSizes(WindowReader& reader, const std::uint8_t* h, std::uint64_t extraAt, std::uint64_t& packed,
                std::uint64_t& size) {
  packed = Le32(h + local::kPackedAt);
  size = Le32(h + local::kSizeAt);
  if (packed != kSaturated32 && size != kSaturated32) return true;
  for (std::uint64_t at = extraAt, end = extraAt + Le16(h + local::kExtraLengthAt); end - at >= 4;) {
    std::uint8_t field[4];
    if (!reader.Read(at, field, sizeof field)) return false;
    const std::uint16_t len = Le16(field + 2);
    at += sizeof field;
    if (end - at < len) return false;
    if (Le16(field) == extra::kZip64) {
      std::uint8_t wide[16];
      if (len < sizeof wide || !reader.Read(at, wide, sizeof wide)) return false;
      if (size == kSaturated32) size = Le64(wide);
      if (packed == kSaturated32) packed = Le64(wide + 8);
      return true;
    }
    at += len;
  }
  return false;
}

// Whether the local header h, read at localAt, says what the central record
// r says: the same name bytes, method, layout flags and time, and, unless a
// data descriptor carries them, the same checksum and sizes. Readers that
// compare the two go by either (unzip warns and takes the central name),
// and libzip throws out a whole directory for one such entry when it has
// another end record to choose from.
bool LocalMatchesCentral(WindowReader& reader, std::uint64_t localAt, const std::uint8_t* h, const std::uint8_t* r,
                         std::uint32_t crc, std::uint64_t packedSize, std::uint64_t size) {
  const std::uint16_t flags = Le16(h + local::kFlagsAt);
  if (Le16(h + local::kMethodAt) != Le16(r + central::kMethodAt) ||
      (flags & kLayoutFlags) != (Le16(r + central::kFlagsAt) & kLayoutFlags) ||
      Le16(h + local::kTimeAt) != Le16(r + central::kTimeAt) || Le16(h + local::kDateAt) != Le16(r + central::kDateAt))
    return false;
  const std::size_t nameLen = Le16(h + local::kNameLengthAt);
  if (nameLen != Le16(r + central::kNameLengthAt) || !SameBytesAt(reader, localAt + local::kFixedSize, r + central::kFixedSize, nameLen))
    return false;
  if (flags & flag::kDescriptor) return true;  // checked against the descriptor instead
  std::uint64_t localPacked = 0, localSize = 0;
  return LocalSizes(reader, h, localAt + local::kFixedSize + nameLen, localPacked, localSize) &&
         Le32(h + local::kCrcAt) == crc && localPacked == packedSize && localSize == size;
}

// A new file beside the archive that is removed unless it was committed.
struct Temporary {
  explicit Temporary(const std::string& target) { fd = CreateTemporaryBeside(target, path); }
  ~Temporary() {
    if (fd >= 0) {
      ::close(fd);
      ::unlink(path.c_str());
    }
  }
  int fd = -1;
  std::string path;
};

// Appends byte ranges of the archive to the new file. Adjoining ranges are
// gathered into one copy of up to kPiece bytes.
class RangeCopier {
 public:
  RangeCopier(int in, int out) : in_(in), out_(out) {}

  std::uint64_t end() const { return done_ + pendingLength_; }  // size of the new file so far
  std::uint64_t done() const { return done_; }
  // Takes as much of [from, from + n) as fits in the pending piece; returns
  // how much, and flushes when the piece is full. err receives a copy's errno.
  std::uint64_t Take(std::uint64_t from, std::uint64_t n, int& err) {
    if (pendingLength_ > 0 && pendingFrom_ + pendingLength_ != from && (err = Flush()) != 0) return 0;
    if (pendingLength_ == 0) pendingFrom_ = from;
    const std::uint64_t take = std::min(n, kPiece - pendingLength_);
    pendingLength_ += take;
    if (pendingLength_ == kPiece) err = Flush();
    return take;
  }
  int Flush() {
    const int err = Copy(pendingFrom_, done_, pendingLength_);
    if (err == 0) {
      done_ += pendingLength_;
      StartWriteback();
    }
    pendingLength_ = 0;
    return err;
  }

 private:
  // Has the disk start writing the copied pages while the next pieces are
  // copied, so the fsync at the end has little left to wait for. Whole pages
  // only: the next piece writes into a page cut at the end, and writing to a
  // page under writeback waits for it.
  void StartWriteback() {
    const std::uint64_t upTo = done_ & ~(kPage - 1);
    if (upTo <= writebackFrom_) return;
    ::sync_file_range(out_, static_cast<off_t>(writebackFrom_), static_cast<off_t>(upTo - writebackFrom_),
                      SYNC_FILE_RANGE_WRITE);
    writebackFrom_ = upTo;
  }

  int Copy(std::uint64_t from, std::uint64_t to, std::uint64_t n) {
    return CopyRange(in_, from, out_, to, n, buffer_, kernelCopies_);
  }


  int in_;
  int out_;
  bool kernelCopies_ = true;
  std::uint64_t done_ = 0;
  std::uint64_t writebackFrom_ = 0;
  std::uint64_t pendingFrom_ = 0;
  std::uint64_t pendingLength_ = 0;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

FastDelete::FastDelete(std::string resolvedPath) : path_(std::move(resolvedPath)) {}

FastDelete::~FastDelete() {
  if (fd_ >= 0) ::close(fd_);
}

bool FastDelete::ReadAt(std::uint64_t offset, void* out, std::size_t n) const {
  return DescriptorSource(fd_, fileSize_).read(offset, out, n);
}

bool FastDelete::Open(CodePage names) {
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  fileSize_ = static_cast<std::uint64_t>(st.st_size);

  CentralDirectory cd;
  if (ReadCentralDirectory(DescriptorSource(fd_, fileSize_), cd) != rc::Ok) return false;
  directoryOffset_ = cd.directoryOffset;
  comment_ = std::move(cd.comment);
  if (!CheckTail(cd.endRecordOffset, comment_.size()) || !OnlyEndRecord(cd.endRecordOffset)) return false;
  if (cd.directoryOffset + cd.directorySize != tailStart_) return false;
  directory_.resize(static_cast<std::size_t>(cd.directorySize));
  if (!ReadAt(cd.directoryOffset, directory_.data(), directory_.size())) return false;
  return TakeRecords(cd.records, names);
}

// The end record (and the Zip64 records when there are any) of a one-disk
// archive, nothing after the comment; tailStart_ receives where they begin,
// which is where the directory must end.
bool FastDelete::CheckTail(std::uint64_t endAt, std::size_t commentLength) {
  std::uint8_t end[eocd::kFixedSize];
  if (!ReadAt(endAt, end, sizeof end)) return false;
  if (endAt + eocd::kFixedSize + commentLength != fileSize_) return false;
  if (Le16(end + eocd::kDiskAt) != 0 || Le16(end + eocd::kDirDiskAt) != 0) return false;
  if (Le16(end + eocd::kHereAt) != Le16(end + eocd::kCountAt)) return false;
  tailStart_ = endAt;
  std::uint8_t locator[locator::kSize];
  if (endAt < locator::kSize || !ReadAt(endAt - locator::kSize, locator, sizeof locator) ||
      Le32(locator) != zipsig::kZip64Locator)
    return true;
  const std::uint64_t recordAt = Le64(locator + locator::kRecordAt);
  const std::uint64_t locatorAt = endAt - locator::kSize;
  if (Le32(locator + locator::kDiskAt) != 0 || Le32(locator + locator::kDisksAt) > 1) return false;
  std::uint8_t z64[zip64eocd::kFixedSize];
  if (recordAt > locatorAt || locatorAt - recordAt < zip64eocd::kFixedSize || !ReadAt(recordAt, z64, sizeof z64))
    return false;
  if (Le32(z64) != zipsig::kZip64EndRecord || Le64(z64 + zip64eocd::kSizeAt) != locatorAt - recordAt - zip64eocd::kLead)
    return false;
  if (Le32(z64 + zip64eocd::kDiskAt) != 0 || Le32(z64 + zip64eocd::kDirDiskAt) != 0) return false;
  if (Le64(z64 + zip64eocd::kHereAt) != Le64(z64 + zip64eocd::kCountAt)) return false;
  tailStart_ = recordAt;
  return true;
}

// libzip looks for the end record in the last 65,557 bytes (in the whole
// file when it is shorter than 65,577) and, when it finds more than one
// there, keeps the one whose directory fits the local headers best, or the
// first: not necessarily the one read here. Another end record in that
// stretch (in an entry's data, in the comment) could make libzip see other
// entries, so such archives are left to libzip.
bool FastDelete::OnlyEndRecord(std::uint64_t endAt) const {
  constexpr std::uint64_t kSearched = eocd::kFixedSize + eocd::kMaxComment;
  const std::uint64_t from = fileSize_ < kSearched + locator::kSize ? 0 : fileSize_ - kSearched;
  std::string tail(static_cast<std::size_t>(fileSize_ - from), '\0');
  if (!ReadAt(from, tail.data(), tail.size())) return false;
  constexpr std::string_view kSignature("PK\x05\x06", 4);
  for (std::size_t at = tail.find(kSignature); at != std::string::npos && at + eocd::kFixedSize <= tail.size();
       at = tail.find(kSignature, at + 1)) {
    if (from + at != endAt) return false;
  }
  return true;
}

// Walks the raw directory beside ReadCentralDirectory's records: where each
// record lies and where its local header offset is stored.
bool FastDelete::TakeRecords(std::vector<CdRecord>& records, CodePage names) {
  entries_.clear();
  entries_.reserve(records.size());
  std::size_t pos = 0;
  EntryNamer namer(names);
  for (CdRecord& rec : records) {
    if (directory_.size() - pos < central::kFixedSize || Le32(Bytes(directory_, pos)) != zipsig::kCentralHeader) return false;
    const std::uint8_t* r = Bytes(directory_, pos);
    const std::size_t nameLen = Le16(r + central::kNameLengthAt);
    const std::size_t extraLen = Le16(r + central::kExtraLengthAt);
    const std::size_t total = central::kFixedSize + nameLen + extraLen + Le16(r + central::kCommentLengthAt);
    if (directory_.size() - pos < total) return false;
    if (rec.diskStart != 0 || (rec.flags & flag::kMaskedHeaders)) return false;

    Entry e;
    e.name = namer.NameOf(rec);
    e.localOffset = rec.localOffset;
    e.packedSize = rec.packedSize;
    e.size = rec.size;
    e.crc = rec.crc;
    e.recordAt = pos;
    e.recordLength = total;
    e.wideOffset = Le32(r + central::kLocalOffsetAt) == kSaturated32;
    e.offsetFieldAt = pos + central::kLocalOffsetAt;
    // The Zip64 field holds, in order, the saturated size, packed size and offset.
    const std::size_t wideOffsetAt =
        (Le32(r + central::kSizeAt) == kSaturated32 ? 8 : 0) + (Le32(r + central::kPackedAt) == kSaturated32 ? 8 : 0);
    bool sawZip64 = false;
    for (std::size_t at = central::kFixedSize + nameLen, extraEnd = at + extraLen; at < extraEnd;) {
      if (extraEnd - at < 4) return false;  // a ragged tail: libzip judges those
      const std::uint16_t id = Le16(r + at);
      const std::size_t len = Le16(r + at + 2);
      at += 4;
      if (extraEnd - at < len) return false;
      if (id == extra::kZip64) {
        if (sawZip64) return false;
        sawZip64 = true;
        if (e.wideOffset) {
          if (len < wideOffsetAt + 8) return false;
          e.offsetFieldAt = pos + at + wideOffsetAt;
        }
      }
      at += len;
    }
    if (e.wideOffset && !sawZip64) return false;
    entries_.push_back(std::move(e));
    pos += total;
  }
  return pos == directory_.size();
}

std::uint64_t FastDelete::SpanEnd(std::size_t i) const {
  return i + 1 < entries_.size() ? entries_[i + 1].localOffset : directoryOffset_;
}

bool FastDelete::CheckLayout() {
  if (!entries_.empty() && entries_.front().localOffset != 0) return false;  // a stub before the first entry
  const DescriptorSource src(fd_, fileSize_);
  WindowReader reader(src);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const Entry& e = entries_[i];
    std::uint8_t h[local::kFixedSize];
    if (!reader.Read(e.localOffset, h, sizeof h) || Le32(h) != zipsig::kLocalHeader) return false;
    if (!LocalMatchesCentral(reader, e.localOffset, h, Bytes(directory_, e.recordAt), e.crc, e.packedSize, e.size))
      return false;
    const std::uint64_t dataAt = e.localOffset + local::kFixedSize + Le16(h + local::kNameLengthAt) + Le16(h + local::kExtraLengthAt);
    if (dataAt > fileSize_ || e.packedSize > fileSize_ - dataAt) return false;
    const std::uint64_t dataEnd = dataAt + e.packedSize;
    // The next entry (or the directory) must start right after this one:
    // no gap, no overlap, no entry out of order.
    const std::uint64_t next = SpanEnd(i);
    if (next < dataEnd) return false;
    if (Le16(h + local::kFlagsAt) & flag::kDescriptor) {
      if (!DescriptorFits(reader, dataEnd, next - dataEnd, e.crc, e.packedSize, e.size)) return false;
    } else if (next != dataEnd) {
      return false;
    }
  }
  return entries_.empty() ? directoryOffset_ == 0 : true;
}

Result FastDelete::Write(const std::vector<bool>& drop, UpdateProgress& progress) {
  const mode_t mode = ModeForTarget(path_);
  Temporary out(path_);
  if (out.fd < 0) return ResultFromErrno(errno);

  RangeCopier copier(fd_, out.fd);
  std::vector<std::uint64_t> newOffset(entries_.size(), 0);
  std::size_t kept = 0;
  std::size_t lastKept = SIZE_MAX;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (drop[i]) continue;
    newOffset[i] = copier.end();
    if (!progress.InsideEntry(kept, 0)) return rc::Cancelled;
    std::uint64_t from = entries_[i].localOffset;
    std::uint64_t left = SpanEnd(i) - from;
    while (left > 0) {
      const std::uint64_t before = copier.done();
      int err = 0;
      const std::uint64_t took = copier.Take(from, left, err);
      if (err) return ResultFromErrno(err);
      from += took;
      left -= took;
      // A piece went out: say how far this entry is, and ask the cancel switch.
      if (copier.done() != before && left > 0 && !progress.InsideEntry(kept, copier.done() - newOffset[i]))
        return rc::Cancelled;
    }
    lastKept = i;
    ++kept;
  }
  if (const int err = copier.Flush()) return ResultFromErrno(err);
  if (lastKept != SIZE_MAX && !progress.InsideEntry(kept - 1, entries_[lastKept].packedSize)) return rc::Cancelled;

  const std::uint64_t directoryAt = copier.end();
  std::string tail = DirectoryWithNewOffsets(drop, newOffset);
  const std::uint64_t directorySize = tail.size();
  tail += EndRecords(kept, directoryAt, directorySize);
  if (const int err = WriteExactAt(out.fd, tail.data(), tail.size(), directoryAt)) return ResultFromErrno(err);

  const int fd = out.fd;
  out.fd = -1;  // CommitTemporary closes it, and removes the file if it fails
  return ResultFromErrno(CommitTemporary(fd, out.path, path_, mode));
}

// The kept records as they were, each with its new local header offset. The
// offsets only shrink, so every one fits where the old one was stored.
std::string FastDelete::DirectoryWithNewOffsets(const std::vector<bool>& drop,
                                         const std::vector<std::uint64_t>& newOffset) const {
  std::string out;
  std::size_t size = 0;
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (!drop[i]) size += entries_[i].recordLength;
  }
  out.reserve(size);
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (drop[i]) continue;
    const Entry& e = entries_[i];
    const std::size_t at = out.size();
    out.append(directory_, e.recordAt, e.recordLength);
    const std::size_t field = at + (e.offsetFieldAt - e.recordAt);
    if (e.wideOffset) Poke64(out, field, newOffset[i]);
    else Poke32(out, field, static_cast<std::uint32_t>(newOffset[i]));
  }
  return out;
}

// Zip64 end record and locator when a count or an offset does not fit the
// end record; then the end record with the comment as it was.
std::string FastDelete::EndRecords(std::uint64_t entries, std::uint64_t directoryAt,
                                   std::uint64_t directorySize) const {
  const bool wide = entries >= kSaturated16 || directoryAt >= kSaturated32 || directorySize >= kSaturated32;
  std::string out;
  if (wide) {
    const std::uint64_t recordAt = directoryAt + directorySize;
    Put32(out, zipsig::kZip64EndRecord);
    Put64(out, zip64eocd::kFixedSize - zip64eocd::kLead);
    Put16(out, zip64eocd::kVersion);
    Put16(out, zip64eocd::kVersion);
    Put32(out, 0);
    Put32(out, 0);
    Put64(out, entries);
    Put64(out, entries);
    Put64(out, directorySize);
    Put64(out, directoryAt);
    Put32(out, zipsig::kZip64Locator);
    Put32(out, 0);
    Put64(out, recordAt);
    Put32(out, 1);
  }
  const auto fit16 = [](std::uint64_t v) { return static_cast<std::uint16_t>(std::min<std::uint64_t>(v, kSaturated16)); };
  const auto fit32 = [](std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, kSaturated32)); };
  Put32(out, zipsig::kEndRecord);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, fit16(entries));
  Put16(out, fit16(entries));
  Put32(out, fit32(directorySize));
  Put32(out, fit32(directoryAt));
  Put16(out, static_cast<std::uint16_t>(comment_.size()));
  out += comment_;
  return out;
}

}  // namespace kx
