#include "engine/dosarc/lha_writer.h"

#include "engine/codecs/codec_io.h"

namespace kx::dosarc {
namespace {

constexpr std::size_t kMethodLen = 5;
constexpr std::uint8_t kReserved = 0x20;
constexpr std::uint8_t kLevel2 = 2;
constexpr std::uint8_t kOsUnix = 'U';
constexpr std::size_t kHeaderCrcAt = 27;  // inside the common extension, the first one
constexpr std::size_t kMaxHeader = 0xffff;

constexpr std::uint8_t kExtCommon = 0x00;
constexpr std::uint8_t kExtFileName = 0x01;
constexpr std::uint8_t kExtFolderName = 0x02;
constexpr std::uint8_t kExtUnixMode = 0x50;
constexpr std::size_t kExtFrame = 3;  // type byte and the next size
constexpr char kFolderSeparator = '\xff';
constexpr std::uint32_t kRegularFile = 0100000;
constexpr std::uint8_t kEndOfArchive = 0;

// One extension header; `next` is the size of the one after it.
void PutExtension(std::vector<std::uint8_t>& h, std::uint8_t type, const std::string& data, std::size_t next) {
  h.push_back(type);
  h.insert(h.end(), data.begin(), data.end());
  PutLe16(h, std::uint32_t(next));
}

std::string LeU16(std::uint32_t v) { return std::string{char(v & 0xff), char((v >> 8) & 0xff)}; }

// "a/b" -> "a\xffb\xff".
std::string FolderField(const std::string& folder) {
  if (folder.empty()) return {};
  std::string f = folder;
  for (char& c : f) {
    if (c == '/') c = kFolderSeparator;
  }
  return f + kFolderSeparator;
}

std::size_t HeaderSizeFor(const std::string& storedName) {
  const std::size_t folder = FolderField(FolderOf(storedName)).size();
  return 26 + (kExtFrame + 2) + (kExtFrame + LeafOf(storedName).size()) + (folder ? kExtFrame + folder : 0) +
         (kExtFrame + 2) + 1;
}

}  // namespace

bool LhaWriter::Begin(ArchiveOut& out) {
  return existing_ ? out.Copy(*existing_->source, 0, existing_->layout.itemsBegin) : true;
}

bool LhaWriter::CopyItems(ArchiveOut& out, const std::vector<bool>& drop) {
  const auto& items = existing_->layout.items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (drop[i]) continue;
    if (!out.Copy(*existing_->source, items[i].headerBegin, items[i].dataEnd - items[i].headerBegin)) return false;
  }
  return true;
}

std::vector<std::uint8_t> LhaWriter::MemberHeader(const NewMember& m, std::uint64_t) const {
  const char id[kMethodLen] = {'-', 'l', char(m.method >> 8), char(m.method & 0xff), '-'};
  const std::string leaf = LeafOf(m.storedName);
  const std::string folder = FolderField(FolderOf(m.storedName));
  const std::string mode = LeU16(kRegularFile | (m.unixMode & 07777));

  std::vector<std::uint8_t> h;
  PutLe16(h, 0);  // total size, set below
  h.insert(h.end(), id, id + kMethodLen);
  PutLe32(h, std::uint32_t(m.packed));
  PutLe32(h, std::uint32_t(m.size));
  PutLe32(h, std::uint32_t(m.unixTime));
  h.push_back(kReserved);
  h.push_back(kLevel2);
  PutLe16(h, m.crc);
  h.push_back(kOsUnix);
  PutLe16(h, kExtFrame + 2);  // the common extension comes first
  PutExtension(h, kExtCommon, LeU16(0), kExtFrame + leaf.size());
  PutExtension(h, kExtFileName, leaf, folder.empty() ? kExtFrame + mode.size() : kExtFrame + folder.size());
  if (!folder.empty()) PutExtension(h, kExtFolderName, folder, kExtFrame + mode.size());
  PutExtension(h, kExtUnixMode, mode, 0);
  // A size whose low byte is 0 would read as the end of the archive.
  if ((h.size() & 0xff) == 0) h.push_back(0);
  SetLe16(h, 0, std::uint32_t(h.size()));
  SetLe16(h, kHeaderCrcAt, codec::Crc16(0, h.data(), h.size()));
  return h;
}

bool LhaWriter::End(ArchiveOut& out) {
  const std::uint8_t end = kEndOfArchive;
  return out.Write(&end, 1);
}

NameFit LhaWriter::CheckName(const std::string& storedName) const {
  if (LeafOf(storedName).empty()) return NameFit::Empty;
  return HeaderSizeFor(storedName) > kMaxHeader ? NameFit::TooLong : NameFit::Fits;
}

}  // namespace kx::dosarc
