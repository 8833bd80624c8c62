#include "engine/dosarc/arc_writer.h"

#include "engine/codecs/codec_io.h"

namespace kx::dosarc {
namespace {

constexpr std::uint8_t kMarker = 0x1A;
constexpr std::size_t kNameLen = 13;  // 12 characters and the NUL
constexpr std::size_t kPackedAt = 15;
constexpr std::size_t kCrcAt = 23;
constexpr std::size_t kSizeAt = 25;
constexpr std::size_t kHeaderLen = 29;
constexpr std::size_t kChunk = 1 << 16;

// CRC-16 of n bytes from offset, read by `read`; false when they cannot be read.
template <typename ReadAt>
bool CrcOf(ReadAt&& read, std::uint64_t offset, std::uint64_t n, std::uint16_t& crc) {
  std::vector<std::uint8_t> chunk(std::size_t(std::min<std::uint64_t>(n, kChunk)));
  crc = 0;
  while (n > 0) {
    const std::size_t take = std::size_t(std::min<std::uint64_t>(n, chunk.size()));
    if (!read(offset, chunk.data(), take)) return false;
    crc = codec::Crc16(crc, chunk.data(), take);
    offset += take;
    n -= take;
  }
  return true;
}

}  // namespace

bool ArcWriter::CopyItems(ArchiveOut& out, const std::vector<bool>& drop) {
  // A folder changes when anything below it goes.
  const auto& items = existing_->layout.items;
  std::vector<bool> changed(items.size(), false);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!drop[i]) continue;
    for (std::int64_t p = items[i].parent; p >= 0 && !changed[std::size_t(p)]; p = items[std::size_t(p)].parent)
      changed[std::size_t(p)] = true;
  }
  return CopyRun(out, -1, drop, changed);
}

bool ArcWriter::CopyRun(ArchiveOut& out, std::int64_t parent, const std::vector<bool>& drop,
                        const std::vector<bool>& changed) {
  const auto& items = existing_->layout.items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].parent != parent || drop[i]) continue;
    if (changed[i]) {
      if (!RewriteFolder(out, i, drop, changed)) return false;
    } else if (!out.Copy(*existing_->source, items[i].headerBegin, items[i].dataEnd - items[i].headerBegin)) {
      return false;
    }
  }
  return true;
}

// The folder's header, its kept members, then its end marker and whatever
// followed it inside the folder; the header's fields follow the new run.
bool ArcWriter::RewriteFolder(ArchiveOut& out, std::size_t folder, const std::vector<bool>& drop,
                              const std::vector<bool>& changed) {
  const dosfmt::DosItem& f = existing_->layout.items[folder];
  const ByteSource& src = *existing_->source;
  std::vector<std::uint8_t> header(kHeaderLen);
  if (f.headerEnd - f.headerBegin != kHeaderLen || !src.read(f.headerBegin, header.data(), kHeaderLen)) return false;
  const std::uint32_t oldPacked = Le32(&header[kPackedAt]);
  std::uint16_t oldCrc = 0;
  const auto readSource = [&](std::uint64_t at, void* b, std::size_t n) { return src.read(at, b, n); };
  if (!CrcOf(readSource, f.dataBegin, f.dataEnd - f.dataBegin, oldCrc)) return false;

  const std::uint64_t headerAt = out.Size();
  if (!out.Write(header.data(), header.size())) return false;
  const std::uint64_t runAt = out.Size();
  if (!CopyRun(out, std::int64_t(folder), drop, changed)) return false;
  if (!out.Copy(src, f.nestedEndMarker, f.dataEnd - f.nestedEndMarker)) return false;
  const std::uint64_t runLen = out.Size() - runAt;

  SetLe32(header, kPackedAt, std::uint32_t(runLen));
  if (Le32(&header[kSizeAt]) == oldPacked) SetLe32(header, kSizeAt, std::uint32_t(runLen));
  // Writers differ in what a folder's checksum covers; only one that was the
  // run's own checksum is kept up to date.
  if (Le16(&header[kCrcAt]) == oldCrc) {
    std::uint16_t crc = 0;
    const auto readOutput = [&](std::uint64_t at, void* b, std::size_t n) { return out.ReadBack(at, b, n); };
    if (!CrcOf(readOutput, runAt, runLen, crc)) return false;
    SetLe16(header, kCrcAt, crc);
  }
  return out.Patch(headerAt, header.data(), header.size());
}

std::vector<std::uint8_t> ArcWriter::MemberHeader(const NewMember& m, std::uint64_t) const {
  std::vector<std::uint8_t> h;
  h.push_back(kMarker);
  h.push_back(std::uint8_t(m.method));
  std::string name = m.storedName;
  name.resize(kNameLen, '\0');
  h.insert(h.end(), name.begin(), name.end());
  PutLe32(h, std::uint32_t(m.packed));
  const std::uint32_t stamp = DosStampOf(m.unixTime);
  PutLe16(h, stamp >> 16);
  PutLe16(h, stamp & 0xffff);
  PutLe16(h, m.crc);
  PutLe32(h, std::uint32_t(m.size));
  return h;
}

bool ArcWriter::End(ArchiveOut& out) {
  const std::uint8_t end[2] = {kMarker, 0};
  return out.Write(end, sizeof end);
}

NameFit ArcWriter::CheckName(const std::string& storedName) const {
  if (storedName.empty()) return NameFit::Empty;
  return storedName.size() >= kNameLen || storedName.find('/') != std::string::npos ? NameFit::TooLong
                                                                                      : NameFit::Fits;
}

}  // namespace kx::dosarc
