// kxpack: lists, tests, extracts, deletes and adds members of ARJ, ARC, LHA
// and ZOO archives with the engine's own codecs (engine/dosarc/), without Qt,
// beside kravix. Usage in german_text.cpp; exit status 0 when everything
// succeeded, 1 when an entry or file failed (each named on stderr with the
// reason), 2 for a wrong command line or an archive that cannot be read.
#include <cinttypes>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/dosarc/dos_archive.h"
#include "engine/dosarc/dos_extract.h"
#include "engine/dosarc/dos_update.h"
#include "kxpack/command_line.h"
#include "kxpack/german_text.h"

namespace {

using kx::dosarc::Problem;
using kx::dosarc::Report;

constexpr int kSuccess = 0;
constexpr int kFailed = 1;
constexpr int kBadCall = 2;

void Error(const std::string& text) { std::fprintf(stderr, "kxpack: %s\n", text.c_str()); }

// The archive-level failures every command shares; kBadCall for all of them.
int ArchiveFailure(const std::string& archive, kx::Result r) {
  switch (r) {
    case kx::rc::FileNotFound: Error(archive + ": Archiv nicht gefunden"); break;
    case kx::rc::UnknownArchiveType: Error(archive + ": kein ARJ-, ARC-, LHA- oder ZOO-Archiv"); break;
    default: Error(archive + ": Archiv beschädigt"); break;
  }
  return kBadCall;
}

// Failures of writing the new archive: the old one is unchanged.
int WriteFailure(const std::string& archive, kx::Result r) {
  std::string why = "Schreiben fehlgeschlagen";
  if (r == kx::rc::DiskFull) why = "Datenträger voll";
  if (r == kx::rc::AccessDenied) why = "Zugriff verweigert";
  Error(archive + ": " + why + "; das Archiv bleibt unverändert");
  return kFailed;
}

// Notes go to stdout, failures to stderr.
kx::dosarc::ReportFn Reporter(const char* doneWord, int& done, int& failed) {
  return [doneWord, &done, &failed](const Report& r) {
    if (r.problem == Problem::None) {
      ++done;
      std::printf("  %s: %s\n", doneWord, r.name.c_str());
    } else if (kx::dosarc::IsNote(r.problem)) {
      std::printf("  %s: %s\n", r.name.c_str(), kxpack::ProblemText(r).c_str());
    } else {
      ++failed;
      Error(r.name + ": " + kxpack::ProblemText(r));
    }
  };
}

std::string Crc(kx::ArchiveKind kind, std::uint32_t crc) {
  char b[16];
  std::snprintf(b, sizeof b, kind == kx::ArchiveKind::Arj ? "%08" PRIX32 : "%04" PRIX32, crc);
  return b;
}

int List(const kxpack::CommandLine& cl) {
  kx::dosarc::DosArchive a;
  const kx::Result opened = kx::dosarc::OpenDosArchive(cl.archive, a);
  if (opened == kx::rc::FileNotFound || opened == kx::rc::UnknownArchiveType) return ArchiveFailure(cl.archive, opened);
  std::vector<std::string> missing;
  const auto chosen = kx::dosarc::ChooseItems(a.layout, cl.names, missing);
  std::printf("Archiv %s (%s)\n", cl.archive.c_str(), kxpack::KindName(a.kind));
  // Written out: printf pads by bytes, and "Größe" has two more than it shows.
  std::printf("     Größe    Gepackt  Methode      Datum       Zeit      CRC       Name\n");
  std::uint64_t total = 0;
  for (std::size_t i : chosen) {
    const kx::EntryInfo& e = a.layout.items[i].entry;
    std::printf("%10" PRIu64 " %10" PRIu64 "  %-11s  %-10s  %-8s  %-8s  %s%s\n", e.size, e.packedSize,
                kxpack::MethodLabel(a.kind, e.method, e.isFolder).c_str(), kx::FormatDate(e.modified).c_str(),
                kx::FormatTime(e.modified).c_str(), e.isFolder ? "" : Crc(a.kind, e.crc).c_str(), e.name.c_str(),
                e.encrypted ? "  (verschlüsselt)" : "");
    total += e.size;
  }
  std::printf("%zu Einträge, %" PRIu64 " Bytes\n", chosen.size(), total);
  if (opened != kx::rc::Ok) return ArchiveFailure(cl.archive, opened);
  for (const auto& name : missing) Error(name + ": Eintrag nicht gefunden");
  return missing.empty() ? kSuccess : kFailed;
}

int ExtractOrTest(const kxpack::CommandLine& cl) {
  kx::dosarc::DosArchive a;
  if (const kx::Result r = kx::dosarc::OpenDosArchive(cl.archive, a); r != kx::rc::Ok)
    return ArchiveFailure(cl.archive, r);
  const bool test = cl.command == kxpack::Command::Test;
  int done = 0, failed = 0;
  const auto report = Reporter(test ? "in Ordnung" : "entpackt", done, failed);
  kx::Result r;
  if (test) {
    r = kx::dosarc::TestMembers(a, cl.names, report);
  } else {
    kx::dosarc::ExtractOptions options;
    options.withPaths = cl.command == kxpack::Command::ExtractWithPaths;
    r = kx::dosarc::ExtractMembers(a, cl.names, options, report);
  }
  if (r == kx::rc::ArchiveError) {
    Error(cl.archive + ": Archiv beschädigt (die Daten der Einträge überlappen)");
    return kBadCall;
  }
  if (r == kx::rc::PathNotFound) {
    Error("der aktuelle Ordner ist nicht zugänglich");
    return kFailed;
  }
  if (r != kx::rc::Ok) {
    Error(std::to_string(failed) + (test ? " Einträge fehlerhaft" : " Einträge nicht entpackt"));
    return kFailed;
  }
  std::printf(test ? "%d Einträge geprüft, alle in Ordnung.\n" : "%d Einträge entpackt.\n", done);
  return kSuccess;
}

int Delete(const kxpack::CommandLine& cl) {
  int done = 0, failed = 0;
  const kx::Result r = kx::dosarc::DeleteMembers(cl.archive, cl.names, Reporter("gelöscht", done, failed));
  if (r == kx::rc::Ok) {
    std::printf("%d Einträge gelöscht.\n", done);
    return kSuccess;
  }
  if (r == kx::rc::NoFiles) {
    Error(cl.archive + ": nichts gelöscht; das Archiv bleibt unverändert");
    return kFailed;
  }
  if (r == kx::rc::FileNotFound || r == kx::rc::UnknownArchiveType || r == kx::rc::ArchiveError)
    return ArchiveFailure(cl.archive, r);
  return WriteFailure(cl.archive, r);
}

int Add(const kxpack::CommandLine& cl) {
  int done = 0, failed = 0;
  const kx::Result r = kx::dosarc::AddFiles(cl.archive, cl.names, Reporter("hinzugefügt", done, failed));
  if (r == kx::rc::Ok) {
    std::printf("%d Dateien hinzugefügt.\n", done);
    return kSuccess;
  }
  if (r == kx::rc::PartiallyDone) {
    Error(cl.archive + ": nichts hinzugefügt; das Archiv bleibt unverändert");
    return kFailed;
  }
  if (r == kx::rc::UnknownArchiveType && kx::dosarc::KindFromExtension(cl.archive) == kx::ArchiveKind::None) {
    kx::FileSource probe(cl.archive);
    if (!probe.ok()) {
      Error(cl.archive + ": unbekannte Archivart; die Endung wählt sie: .arj, .arc, .lzh, .lha oder .zoo");
      return kBadCall;
    }
  }
  if (r == kx::rc::UnknownArchiveType || r == kx::rc::ArchiveError) return ArchiveFailure(cl.archive, r);
  return WriteFailure(cl.archive, r);
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // keeps its lines in order with stderr's
  const std::vector<std::string> args(argv + 1, argv + argc);
  kxpack::CommandLine cl;
  std::string reason;
  if (!kxpack::ParseCommandLine(args, cl, reason)) {
    Error(reason + " \"kxpack --help\" zeigt den Aufruf.");
    return kBadCall;
  }
  switch (cl.command) {
    case kxpack::Command::Help: std::fputs(kxpack::kUsage, stdout); return kSuccess;
    case kxpack::Command::List: return List(cl);
    case kxpack::Command::Test:
    case kxpack::Command::Extract:
    case kxpack::Command::ExtractWithPaths: return ExtractOrTest(cl);
    case kxpack::Command::Delete: return Delete(cl);
    case kxpack::Command::Add: return Add(cl);
  }
  return kBadCall;
}
