#include "engine/dosarc/dos_writer.h"

#include <ctime>

#include "engine/dosarc/arc_writer.h"
#include "engine/dosarc/arj_writer.h"
#include "engine/dosarc/lha_writer.h"
#include "engine/dosarc/zoo_writer.h"

namespace kx::dosarc {
namespace {

constexpr int kFirstDosYear = 1980;
constexpr int kLastDosYear = 2107;

}  // namespace

std::unique_ptr<DosWriter> MakeWriter(ArchiveKind kind, const DosArchive* existing, const std::string& archiveFileName,
                                      std::int64_t now) {
  switch (kind) {
    case ArchiveKind::Arj: return std::make_unique<ArjWriter>(existing, archiveFileName, now);
    case ArchiveKind::Arc: return std::make_unique<ArcWriter>(existing);
    case ArchiveKind::Lha: return std::make_unique<LhaWriter>(existing);
    case ArchiveKind::Zoo: return std::make_unique<ZooWriter>(existing);
    default: return nullptr;
  }
}

std::uint32_t DosStampOf(std::int64_t unixTime) {
  const std::time_t t = static_cast<std::time_t>(unixTime);
  std::tm tm{};
  if (::localtime_r(&t, &tm) == nullptr || tm.tm_year + 1900 < kFirstDosYear) {
    tm = std::tm{};
    tm.tm_year = kFirstDosYear - 1900;
    tm.tm_mday = 1;
  } else if (tm.tm_year + 1900 > kLastDosYear) {
    tm = std::tm{};
    tm.tm_year = kLastDosYear - 1900;
    tm.tm_mon = 11;
    tm.tm_mday = 31;
    tm.tm_hour = 23;
    tm.tm_min = 59;
    tm.tm_sec = 58;
  }
  const std::uint32_t date =
      std::uint32_t(((tm.tm_year + 1900 - kFirstDosYear) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
  const std::uint32_t time = std::uint32_t((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
  return (date << 16) | time;
}

std::string LeafOf(const std::string& storedName) {
  const auto slash = storedName.rfind('/');
  return slash == std::string::npos ? storedName : storedName.substr(slash + 1);
}

std::string FolderOf(const std::string& storedName) {
  const auto slash = storedName.rfind('/');
  return slash == std::string::npos ? std::string() : storedName.substr(0, slash);
}

}  // namespace kx::dosarc
