#include "engine/dosarc/zoo_writer.h"

#include "engine/codecs/codec_io.h"

namespace kx::dosarc {
namespace {

constexpr std::uint32_t kTag = 0xFDC4A7DC;

// Archive header.
constexpr char kHeaderText[] = "ZOO 2.10 Archive.\x1a";
constexpr std::size_t kTextLen = 20;
constexpr std::size_t kStartAt = 24;
constexpr std::size_t kMinusAt = 28;
constexpr std::size_t kArcCommentAt = 35;
constexpr std::size_t kArchiveHeaderLen = 42;
constexpr std::uint8_t kArchiveMajor = 2;
constexpr std::uint8_t kArchiveMinor = 0;
constexpr std::uint8_t kArchiveHeaderType = 1;

// Directory entry.
constexpr std::uint8_t kType2 = 2;
constexpr std::size_t kTypeAt = 4;
constexpr std::size_t kNextAt = 6;
constexpr std::size_t kDataAt = 10;
constexpr std::size_t kCommentAt = 32;
constexpr std::size_t kCommentLenAt = 36;
constexpr std::size_t kShortNameLen = 13;
constexpr std::size_t kEntryCrcAt = 54;
constexpr std::size_t kType2Len = 56;
constexpr std::uint8_t kNoTimeZone = 127;
constexpr std::uint16_t kSystemUnix = 0;
constexpr std::uint32_t kUnixModeValid = 1u << 22;
constexpr std::uint16_t kMethodLh5 = 2;
constexpr std::size_t kMaxNameField = 255;  // a length byte, the NUL included

constexpr char kLeader[] = "@)#(";  // zoo writes it, with its NUL, before the data
constexpr std::size_t kLeaderLen = sizeof kLeader;

// An 8.3 form of a file name for the short-name field: at most eight
// characters before the last dot and three after it.
std::string ShortName(std::string_view leaf) {
  const auto dot = leaf.rfind('.');
  const std::string_view base = leaf.substr(0, dot);
  const std::string_view ext = dot == std::string_view::npos ? std::string_view() : leaf.substr(dot + 1);
  std::string out(base.empty() ? std::string_view("_") : base.substr(0, 8));
  if (!ext.empty()) {
    out += '.';
    out += ext.substr(0, 3);
  }
  return out;
}

// An entry's CRC: of all its bytes with the CRC field taken as 0.
std::uint16_t EntryCrc(std::vector<std::uint8_t> entry) {
  SetLe16(entry, kEntryCrcAt, 0);
  return codec::Crc16(0, entry.data(), entry.size());
}

std::vector<std::uint8_t> Type2Entry(std::uint8_t method, std::uint32_t next, std::uint32_t dataAt,
                                     std::uint32_t stamp, const NewMember& m, const std::string& longName,
                                     const std::string& folder) {
  const bool lh5 = method == kMethodLh5;
  std::vector<std::uint8_t> e;
  PutLe32(e, kTag);
  e.push_back(kType2);
  e.push_back(method);
  PutLe32(e, next);
  PutLe32(e, dataAt);
  PutLe16(e, stamp >> 16);
  PutLe16(e, stamp & 0xffff);
  PutLe16(e, m.crc);
  PutLe32(e, std::uint32_t(m.size));
  PutLe32(e, std::uint32_t(m.packed));
  e.push_back(lh5 ? 2 : 1);  // version needed: 2.1 for -lh5- data, 1.0 otherwise
  e.push_back(lh5 ? 1 : 0);
  e.push_back(0);  // not deleted
  e.push_back(0);  // structure
  PutLe32(e, 0);   // no comment
  PutLe16(e, 0);
  std::string shortName = longName.empty() ? std::string() : ShortName(longName);
  shortName.resize(kShortNameLen, '\0');
  e.insert(e.end(), shortName.begin(), shortName.end());
  if (longName.empty() && folder.empty()) {  // the end entry: no variable part
    PutLe16(e, 0);
    e.push_back(kNoTimeZone);
    PutLe16(e, 0);
    SetLe16(e, kEntryCrcAt, EntryCrc(e));
    return e;
  }
  const std::string lname = longName + '\0';
  const std::string dname = folder.empty() ? std::string() : folder + '\0';
  const std::size_t varLen = 2 + lname.size() + dname.size() + 2 + 3 + 3;
  PutLe16(e, std::uint32_t(varLen));
  e.push_back(kNoTimeZone);
  PutLe16(e, 0);  // entry CRC, set below
  e.push_back(std::uint8_t(lname.size()));
  e.push_back(std::uint8_t(dname.size()));
  e.insert(e.end(), lname.begin(), lname.end());
  e.insert(e.end(), dname.begin(), dname.end());
  PutLe16(e, kSystemUnix);
  const std::uint32_t fattr = kUnixModeValid | (m.unixMode & 0777);
  e.push_back(std::uint8_t(fattr));
  PutLe16(e, fattr >> 8);
  e.push_back(0);  // no generations
  PutLe16(e, 0);
  SetLe16(e, kEntryCrcAt, EntryCrc(e));
  return e;
}

}  // namespace

bool ZooWriter::Begin(ArchiveOut& out) {
  if (!existing_) {
    std::vector<std::uint8_t> h(kHeaderText, kHeaderText + sizeof kHeaderText - 1);
    h.resize(kTextLen, 0);
    PutLe32(h, kTag);
    PutLe32(h, kArchiveHeaderLen);
    PutLe32(h, std::uint32_t(0) - std::uint32_t(kArchiveHeaderLen));
    h.push_back(kArchiveMajor);
    h.push_back(kArchiveMinor);
    h.push_back(kArchiveHeaderType);
    PutLe32(h, 0);  // no comment
    PutLe16(h, 0);
    h.push_back(0);  // no generations
    return out.Write(h.data(), h.size());
  }
  const dosfmt::DosLayout& l = existing_->layout;
  const ByteSource& src = *existing_->source;
  if (!out.Copy(src, 0, l.itemsBegin)) return false;
  // A comment outside the header's own bytes follows them now.
  const bool commentInside = l.commentAt + l.commentLength <= l.itemsBegin;
  if (l.commentLength > 0 && !commentInside) {
    std::vector<std::uint8_t> at;
    PutLe32(at, std::uint32_t(out.Size()));
    if (!out.Copy(src, l.commentAt, l.commentLength) || !out.Patch(kArcCommentAt, at.data(), at.size())) return false;
  }
  if (out.Size() == l.itemsBegin) return true;
  // The first entry's offset and its negation, side by side.
  static_assert(kMinusAt == kStartAt + 4);
  std::vector<std::uint8_t> start;
  PutLe32(start, std::uint32_t(out.Size()));
  PutLe32(start, std::uint32_t(0) - std::uint32_t(out.Size()));
  return out.Patch(kStartAt, start.data(), start.size());
}

bool ZooWriter::CopyItems(ArchiveOut& out, const std::vector<bool>& drop) {
  const auto& items = existing_->layout.items;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (drop[i] || items[i].deleted) continue;
    if (!CopyEntry(out, items[i])) return false;
  }
  return true;
}

bool ZooWriter::CopyEntry(ArchiveOut& out, const dosfmt::DosItem& item) {
  const ByteSource& src = *existing_->source;
  std::vector<std::uint8_t> entry;
  if (!dosfmt::ReadBlock(src, item.headerBegin, std::size_t(item.headerEnd - item.headerBegin), entry)) return false;
  const bool hasEntryCrc = entry[kTypeAt] == kType2 && entry.size() >= kType2Len;
  const bool entryCrcHeld = hasEntryCrc && EntryCrc(entry) == Le16(&entry[kEntryCrcAt]);
  // A comment pointing outside the archive is left behind rather than failing the copy.
  const std::uint64_t commentLen = src.contains(item.commentAt, item.commentLength) ? item.commentLength : 0;
  const std::uint64_t at = out.Size();
  const std::uint64_t dataAt = at + entry.size();
  const std::uint64_t packed = item.dataEnd - item.dataBegin;
  SetLe32(entry, kNextAt, std::uint32_t(dataAt + packed + commentLen));
  SetLe32(entry, kDataAt, std::uint32_t(dataAt));
  SetLe32(entry, kCommentAt, commentLen ? std::uint32_t(dataAt + packed) : 0);
  SetLe16(entry, kCommentLenAt, std::uint32_t(commentLen));
  if (entryCrcHeld) SetLe16(entry, kEntryCrcAt, EntryCrc(entry));
  return out.Write(entry.data(), entry.size()) && out.Copy(src, item.dataBegin, packed) &&
         out.Copy(src, item.commentAt, commentLen);
}

std::vector<std::uint8_t> ZooWriter::MemberHeader(const NewMember& m, std::uint64_t at) const {
  const std::string leaf = LeafOf(m.storedName);
  const std::string folder = FolderOf(m.storedName);
  // The entry's length does not depend on the offsets; build it once to learn it.
  const std::size_t entryLen = Type2Entry(std::uint8_t(m.method), 0, 0, 0, m, leaf, folder).size();
  const std::uint64_t dataAt = at + entryLen + kLeaderLen;
  std::vector<std::uint8_t> h = Type2Entry(std::uint8_t(m.method), std::uint32_t(dataAt + m.packed),
                                           std::uint32_t(dataAt), DosStampOf(m.unixTime), m, leaf, folder);
  h.insert(h.end(), kLeader, kLeader + kLeaderLen);
  return h;
}

bool ZooWriter::End(ArchiveOut& out) {
  const std::vector<std::uint8_t> e = Type2Entry(0, 0, 0, 0, NewMember{}, std::string(), std::string());
  return out.Write(e.data(), e.size());
}

NameFit ZooWriter::CheckName(const std::string& storedName) const {
  const std::string leaf = LeafOf(storedName);
  if (leaf.empty()) return NameFit::Empty;
  return leaf.size() >= kMaxNameField || FolderOf(storedName).size() >= kMaxNameField ? NameFit::TooLong
                                                                                        : NameFit::Fits;
}

}  // namespace kx::dosarc
