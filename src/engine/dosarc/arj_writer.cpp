#include "engine/dosarc/arj_writer.h"

#include <algorithm>

#include "engine/codecs/codec_io.h"
#include "engine/io/cp437.h"

namespace kx::dosarc {
namespace {

constexpr std::uint16_t kHeaderId = 0xEA60;
constexpr std::uint8_t kFirstHeaderSize = 30;  // the fixed part, no extra bytes
constexpr std::size_t kMaxBasicSize = 2600;
constexpr std::uint8_t kVersion = 11;
constexpr std::uint8_t kVersionNeeded = 1;
constexpr std::uint8_t kHostDos = 0;
constexpr std::uint8_t kFlagPathSymbol = 0x10;  // "\" stored as "/"
constexpr std::uint8_t kTypeBinary = 0;
constexpr std::uint8_t kTypeMain = 2;
constexpr std::uint16_t kAttrArchive = 0x20;
constexpr std::uint16_t kAttrReadOnly = 0x01;
constexpr std::uint32_t kOwnerWrite = 0200;

// The frame around a basic header: id, size, the header, its CRC-32 and an
// empty chain of extended headers.
std::vector<std::uint8_t> Frame(const std::vector<std::uint8_t>& basic) {
  std::vector<std::uint8_t> h(4 + basic.size());
  SetLe16(h, 0, kHeaderId);
  SetLe16(h, 2, std::uint32_t(basic.size()));
  std::copy(basic.begin(), basic.end(), h.begin() + 4);
  PutLe32(h, codec::Crc32(0, basic.data(), basic.size()));
  PutLe16(h, 0);
  return h;
}

// The fixed part shared by the main header and local headers.
std::vector<std::uint8_t> FixedPart(std::uint8_t flags, std::uint8_t method, std::uint8_t type, std::uint32_t stamp) {
  std::vector<std::uint8_t> b;
  b.push_back(kFirstHeaderSize);
  b.push_back(kVersion);
  b.push_back(kVersionNeeded);
  b.push_back(kHostDos);
  b.push_back(flags);
  b.push_back(method);
  b.push_back(type);
  b.push_back(0);  // reserved
  PutLe32(b, stamp);
  return b;
}

void PutNameAndComment(std::vector<std::uint8_t>& b, const std::string& name) {
  b.insert(b.end(), name.begin(), name.end());
  b.push_back(0);
  b.push_back(0);  // no comment
}

std::size_t BasicSizeFor(const std::string& name) { return kFirstHeaderSize + name.size() + 2; }

}  // namespace

bool ArjWriter::Begin(ArchiveOut& out) {
  if (existing_) return out.Copy(*existing_->source, 0, existing_->layout.itemsBegin);
  std::string name;
  if (!Utf8ToCp437(archiveFileName_, name)) name = "archive.arj";
  if (BasicSizeFor(name) > kMaxBasicSize) name = "archive.arj";
  const std::uint32_t stamp = DosStampOf(now_);
  std::vector<std::uint8_t> b = FixedPart(0, 0, kTypeMain, stamp);
  PutLe32(b, stamp);  // modified
  PutLe32(b, 0);      // archive size
  PutLe32(b, 0);      // security envelope position
  PutLe16(b, 0);      // file spec position
  PutLe16(b, 0);      // security envelope length
  b.push_back(0);     // encryption version
  b.push_back(0);     // last chapter
  PutNameAndComment(b, name);
  const auto h = Frame(b);
  return out.Write(h.data(), h.size());
}

bool ArjWriter::CopyItems(ArchiveOut& out, const std::vector<bool>& drop) {
  const auto& items = existing_->layout.items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (drop[i]) continue;
    if (!out.Copy(*existing_->source, items[i].headerBegin, items[i].dataEnd - items[i].headerBegin)) return false;
  }
  return true;
}

std::vector<std::uint8_t> ArjWriter::MemberHeader(const NewMember& m, std::uint64_t) const {
  const std::string leaf = LeafOf(m.storedName);
  const bool hasFolder = leaf.size() != m.storedName.size();
  std::vector<std::uint8_t> b =
      FixedPart(hasFolder ? kFlagPathSymbol : 0, std::uint8_t(m.method), kTypeBinary, DosStampOf(m.unixTime));
  PutLe32(b, std::uint32_t(m.packed));
  PutLe32(b, std::uint32_t(m.size));
  PutLe32(b, m.crc);
  PutLe16(b, std::uint32_t(m.storedName.size() - leaf.size()));  // where the file name starts
  PutLe16(b, (m.unixMode & kOwnerWrite) ? kAttrArchive : kAttrArchive | kAttrReadOnly);
  b.push_back(0);  // first chapter
  b.push_back(0);  // last chapter
  PutNameAndComment(b, m.storedName);
  return Frame(b);
}

bool ArjWriter::End(ArchiveOut& out) {
  std::vector<std::uint8_t> h;
  PutLe16(h, kHeaderId);
  PutLe16(h, 0);
  return out.Write(h.data(), h.size());
}

NameFit ArjWriter::CheckName(const std::string& storedName) const {
  if (storedName.empty()) return NameFit::Empty;
  return BasicSizeFor(storedName) > kMaxBasicSize ? NameFit::TooLong : NameFit::Fits;
}

}  // namespace kx::dosarc
