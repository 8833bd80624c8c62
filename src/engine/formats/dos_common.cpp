#include "engine/formats/dos_common.h"

#include <ctime>

#include "engine/io/cp437.h"

namespace kx::dosfmt {

bool ReadBlock(const ByteSource& src, std::uint64_t offset, std::size_t n, std::vector<std::uint8_t>& buf) {
  // Check first, so a hostile length never turns into a huge allocation.
  if (!src.contains(offset, n)) return false;
  buf.resize(n);
  return src.read(offset, buf.data(), n);
}

std::string_view UpToNul(std::string_view raw) {
  const auto nul = raw.find('\0');
  return nul == std::string_view::npos ? raw : raw.substr(0, nul);
}

std::string DosPathToName(std::string_view raw, char extraSeparator) {
  std::string bytes(raw);
  for (char& c : bytes) {
    // Turned into '/' before decoding: 0xFF is a letter in code page 437.
    if (c == '\\' || (extraSeparator != 0 && c == extraSeparator)) c = '/';
  }
  return Cp437ToUtf8(bytes);
}

std::string JoinPath(const std::string& folder, const std::string& file) {
  if (folder.empty()) return file;
  if (file.empty()) return folder;
  std::string joined = folder;
  if (joined.back() != '/') joined += '/';
  joined += file.front() == '/' ? file.substr(1) : file;
  return joined;
}

std::string AsFolderName(std::string name) {
  if (!name.empty() && name.back() != '/') name += '/';
  return name;
}

std::uint32_t AttributesFromUnixMode(std::uint32_t mode) {
  constexpr std::uint32_t kTypeMask = 0170000, kTypeDir = 0040000, kOwnerWrite = 0200;
  std::uint32_t attributes = 0;
  if ((mode & kTypeMask) == kTypeDir) attributes |= attr::Folder;
  if ((mode & kOwnerWrite) == 0) attributes |= attr::ReadOnly;
  return attributes;
}

DateTime FromUnixTimeLocal(std::int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (::localtime_r(&t, &tm) == nullptr) return DateTime{};
  DateTime dt;
  dt.year = tm.tm_year + 1900;
  dt.month = tm.tm_mon + 1;
  dt.day = tm.tm_mday;
  dt.hour = tm.tm_hour;
  dt.minute = tm.tm_min;
  dt.second = tm.tm_sec;
  return dt;
}

std::string StoredNameBytes(std::string_view field) {
  const auto nul = field.find('\0');
  if (nul == std::string_view::npos) return std::string(field);
  if (field.find_first_not_of('\0', nul) != std::string_view::npos) return std::string(field);
  return std::string(field.substr(0, nul));
}

void ListLayout(const DosLayout& layout, ArchiveDirectory& out) {
  for (const DosItem& item : layout.items) {
    if (item.listed) out.entries.push_back(item.entry);
  }
  out.comment = layout.comment;
}

}  // namespace kx::dosfmt
