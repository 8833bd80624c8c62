// Fuzzes the ZIP directory read with its name check. Each input is read
// twice: by our central directory parser over a MemorySource, each name
// decoded and cleaned as the reader does it; then whole, from a temporary
// file, by ZipArchiveReader (our parse, libzip over the same bytes, the span
// and duplicate checks) and by its listing. Aborts when a cleaned name that
// extraction would use could leave the target folder, or when the reader's
// table, the listing and the parser's disagree.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <span>
#include <string>
#include <unistd.h>

#include "engine/io/byte_source.h"
#include "engine/io/cp437.h"
#include "engine/kxzip.h"
#include "engine/io/safe_paths.h"
#include "engine/zip/zip_archive_reader.h"
#include "engine/zip/zip_central_dir.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A usable cleaned name is relative, has no empty, "." or ".." component
// and no separator or NUL of another kind.
void CheckCleanName(const kx::CleanName& c) {
  if (!c.usable()) return;
  Check(!c.path.empty());
  Check(c.path.front() != '/' && c.path.back() != '/');
  Check(c.path.find('\\') == std::string::npos);
  Check(c.path.find('\0') == std::string::npos);
  Check(c.path.find("//") == std::string::npos);
  for (std::string_view part : kx::PathComponents(c.path)) Check(part != "." && part != "..");
}

const std::string& TempPath() {
  static const std::string path = "/tmp/kx-zipdir-fuzz-" + std::to_string(::getpid()) + ".zip";
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kx::MemorySource src(std::span<const std::uint8_t>(data, size));
  kx::CentralDirectory cd;
  const kx::Result parsed = kx::ReadCentralDirectory(src, cd);
  Check(parsed == kx::rc::Ok || parsed == kx::rc::ArchiveError || parsed == kx::rc::UnknownArchiveType);
  if (parsed == kx::rc::Ok) {
    Check(cd.records.size() == cd.entryCount);
    for (const auto& rec : cd.records) {
      const std::string name = kx::IsValidUtf8(rec.rawName) ? rec.rawName : kx::Cp437ToUtf8(rec.rawName);
      CheckCleanName(kx::CleanEntryName(name, rec.rawName));
      if (!name.empty()) Check(kx::MatchesFileSpec(name, {name}));
    }
  }

  {
    std::ofstream out(TempPath(), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  kx::KxZip zip;
  zip.ZipFile = TempPath();
  kx::ArchiveDirectory listed;
  const bool listOk = kx::ZipArchiveReader().List(zip, listed) == kx::rc::Ok;
  if (listOk) Check(parsed == kx::rc::Ok && listed.entries.size() == cd.records.size());
  for (const bool checkSafety : {false, true}) {
    kx::ZipArchiveReader reader;
    if (reader.Open(zip, checkSafety) != kx::rc::Ok) continue;
    Check(parsed == kx::rc::Ok);
    Check(reader.entries().size() == cd.records.size());
    for (const auto& e : reader.entries()) {
      CheckCleanName(e.clean);
      Check(e.rawName.find('\0') == std::string::npos || !e.clean.usable());
    }
    Check(zip_get_num_entries(reader.handle(), 0) == static_cast<zip_int64_t>(reader.entries().size()));
    // The listing shows exactly the names the checks judge.
    Check(listOk);
    for (std::size_t i = 0; i < listed.entries.size(); ++i) Check(listed.entries[i].name == reader.entries()[i].info.name);
  }
  ::unlink(TempPath().c_str());
  return 0;
}
