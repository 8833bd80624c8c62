#include "sfx/sfx_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <span>
#include <vector>

#include "engine/io/byte_source.h"
#include "engine/io/file_io.h"
#include "engine/io/replace_file.h"
#include "engine/zip/zip_central_dir.h"
#include "engine/zip/zip_format.h"

namespace kx {
namespace {

using namespace zipfmt;

constexpr std::uint64_t kMax32 = kSaturated32 - 1;  // 0xffffffff itself means "see Zip64"

std::uint8_t* At(std::string& s, std::size_t pos) { return reinterpret_cast<std::uint8_t*>(s.data()) + pos; }

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// A 32-bit offset field: saturated fields stay (their value is in Zip64).
Result Shift32(std::uint8_t* p, std::uint64_t shift) {
  const std::uint32_t v = Le32(p);
  if (v == kSaturated32) return rc::Ok;
  if (v + shift > kMax32) return rc::Overflow;
  PutLe32(p, static_cast<std::uint32_t>(v + shift));
  return rc::Ok;
}

Result Shift64(std::uint8_t* p, std::uint64_t shift) {
  const std::uint64_t v = Le64(p);
  if (v > std::numeric_limits<std::uint64_t>::max() - shift) return rc::Overflow;
  PutLe64(p, v + shift);
  return rc::Ok;
}

// The local header offset inside a record's Zip64 extra field: after the
// size and the packed size, each present only when saturated in the record.
Result ShiftZip64LocalOffset(std::string& tail, std::size_t record, std::uint64_t shift) {
  const std::uint8_t* r = At(tail, record);
  std::size_t pos = record + central::kFixedSize + Le16(r + central::kNameLengthAt);
  const std::size_t end = pos + Le16(r + central::kExtraLengthAt);
  while (end - pos >= extra::kHeaderSize) {
    const std::uint16_t id = Le16(At(tail, pos));
    const std::size_t length = Le16(At(tail, pos + 2));
    const std::size_t data = pos + extra::kHeaderSize;
    if (length > end - data) break;
    if (id == extra::kZip64) {
      std::size_t field = data;
      if (Le32(r + central::kSizeAt) == kSaturated32) field += 8;
      if (Le32(r + central::kPackedAt) == kSaturated32) field += 8;
      if (field + 8 > data + length) return rc::ArchiveError;
      return Shift64(At(tail, field), shift);
    }
    pos = data + length;
  }
  return rc::ArchiveError;   // saturated offset without its Zip64 value
}

}  // namespace

Result ShiftZipOffsets(std::string& tail, std::uint64_t directoryOffset, std::uint64_t shift) {
  const MemorySource src(std::span(reinterpret_cast<const std::uint8_t*>(tail.data()), tail.size()));
  std::uint64_t endAt = 0;
  if (!FindEndRecordIn(src, src.size(), false, endAt)) return rc::UnknownArchiveType;
  std::uint8_t* end = At(tail, endAt);
  // Split sets keep offsets per volume; one self-extracting file cannot hold them.
  if (Le16(end + eocd::kDiskAt) != 0 || Le16(end + eocd::kDirDiskAt) != 0) return rc::ArchiveError;
  std::uint64_t count = Le16(end + eocd::kCountAt);
  std::uint64_t size = Le32(end + eocd::kDirSizeAt);

  if (endAt >= locator::kSize && Le32(At(tail, endAt - locator::kSize)) == zipsig::kZip64Locator) {
    std::uint8_t* loc = At(tail, endAt - locator::kSize);
    const std::uint64_t recordAt = Le64(loc + locator::kRecordAt);
    if (endAt < locator::kSize + zip64eocd::kFixedSize || recordAt < directoryOffset ||
        recordAt - directoryOffset > endAt - locator::kSize - zip64eocd::kFixedSize)
      return rc::ArchiveError;
    std::uint8_t* z64 = At(tail, static_cast<std::size_t>(recordAt - directoryOffset));
    if (Le32(z64) != zipsig::kZip64EndRecord) return rc::ArchiveError;
    count = Le64(z64 + zip64eocd::kCountAt);
    size = Le64(z64 + zip64eocd::kDirSizeAt);
    if (Result r = Shift64(z64 + zip64eocd::kDirOffsetAt, shift); r != rc::Ok) return r;
    if (Result r = Shift64(loc + locator::kRecordAt, shift); r != rc::Ok) return r;
  }
  if (size > endAt) return rc::ArchiveError;

  std::size_t pos = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    if (size - pos < central::kFixedSize || Le32(At(tail, pos)) != zipsig::kCentralHeader) return rc::ArchiveError;
    const std::uint8_t* r = At(tail, pos);
    const std::size_t total = central::kFixedSize + Le16(r + central::kNameLengthAt) +
                              Le16(r + central::kExtraLengthAt) + Le16(r + central::kCommentLengthAt);
    if (total > size - pos) return rc::ArchiveError;
    std::uint8_t* offset = At(tail, pos + central::kLocalOffsetAt);
    const Result shifted = Le32(offset) == kSaturated32 ? ShiftZip64LocalOffset(tail, pos, shift)
                                                        : Shift32(offset, shift);
    if (shifted != rc::Ok) return shifted;
    pos += total;
  }
  return Shift32(end + eocd::kDirOffsetAt, shift);
}

Result MakeSelfExtractor(const std::string& stub, const std::string& zip, const std::string& out) {
  FileSource stubFile(stub);
  if (!stubFile.ok()) return ResultFromErrno(stubFile.openError());
  FileSource zipFile(zip);
  if (!zipFile.ok()) return ResultFromErrno(zipFile.openError());
  CentralDirectory cd;
  if (Result r = ReadCentralDirectory(zipFile, cd); r != rc::Ok) return r;

  std::string tail(static_cast<std::size_t>(zipFile.size() - cd.directoryOffset), '\0');
  if (!zipFile.read(cd.directoryOffset, tail.data(), tail.size())) return rc::ReadPastEnd;
  if (Result r = ShiftZipOffsets(tail, cd.directoryOffset, stubFile.size()); r != rc::Ok) return r;

  // stub, the ZIP up to its directory, the moved directory and end records.
  RemoveStaleTemporaries(out);
  std::string temp;
  const int fd = CreateTemporaryBeside(out, temp);
  if (fd < 0) return ResultFromErrno(errno);
  std::vector<std::uint8_t> buffer;
  bool kernelCopies = true;
  const int in[2] = {open(stub.c_str(), O_RDONLY | O_CLOEXEC), open(zip.c_str(), O_RDONLY | O_CLOEXEC)};
  int err = in[0] < 0 || in[1] < 0 ? errno : 0;
  if (!err) err = CopyRange(in[0], 0, fd, 0, stubFile.size(), buffer, kernelCopies);
  if (!err) err = CopyRange(in[1], 0, fd, stubFile.size(), cd.directoryOffset, buffer, kernelCopies);
  if (!err) err = WriteExactAt(fd, tail.data(), tail.size(), stubFile.size() + cd.directoryOffset);
  for (int f : in)
    if (f >= 0) close(f);
  if (err) {
    close(fd);
    unlink(temp.c_str());
    return ResultFromErrno(err);
  }
  const mode_t mask = umask(0);
  umask(mask);
  if (const int e = CommitTemporary(fd, temp, out, 0777 & ~mask); e != 0) return ResultFromErrno(e);
  return rc::Ok;
}

}  // namespace kx
