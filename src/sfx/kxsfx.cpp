// kxsfx: the stub at the front of every self-extracting file (sfx_archive.h).
// It opens its own program file, which ends in a ZIP archive, and extracts
// that archive with the engine into the folder named on its command line or
// the current one. The engine writes nothing outside that folder: entry names
// with ".." are refused, absolute ones land below it, links never lead out.
//
//   datei [-o] [-pPASSWORT] [ZIELORDNER]
//
// Exit status: 0 all extracted, 1 an entry or the archive failed, 2 a wrong
// argument or no archive appended. No Qt: it runs where Kravix is not installed.
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/io/byte_source.h"
#include "engine/kxzip.h"
#include "engine/result_codes.h"
#include "engine/zip/zip_central_dir.h"

namespace {

constexpr const char* kSelf = "/proc/self/exe";

// What an engine event means here; entry events carry a name, the end event none.
const char* Words(std::int16_t code, bool entry) {
  switch (kx::ResultOf(code)) {
    case kx::rc::UnknownArchiveType: return "kein ZIP-Archiv";
    case kx::rc::ArchiveError:
      return entry ? "abgelehnt: der Name oder die Verknüpfung führt aus dem Zielordner" : "Archiv beschädigt";
    case kx::rc::UnknownMethod: return "unbekannte Packmethode";
    case kx::rc::Cancelled: return "abgebrochen";
    case kx::rc::DiskFull: return "Datenträger voll";
    case kx::rc::WrongPassword: return "falsches Passwort";
    case kx::rc::CrcError: return "Prüfsummenfehler";
    case kx::rc::PathNotFound: return "Pfad nicht gefunden";
    case kx::rc::AccessDenied:
      return entry ? "übersprungen: eine Verknüpfung, Datei oder ein Ordner ist im Weg" : "Zugriff verweigert";
    case kx::rc::PartiallyDone:
      return entry ? "Pfad gekürzt, unter dem Zielordner entpackt" : "nicht alles entpackt";
    default: return "Fehler";
  }
}

int Usage(const char* program) {
  std::fprintf(stderr, "Aufruf: %s [-o] [-pPASSWORT] [ZIELORDNER]\n"
                       "  -o  vorhandene Dateien überschreiben\n", program);
  return 2;
}

// The program's own bytes hold the signatures as constants, so only an end
// record that closes the file exactly and points to a directory counts.
bool HasAppendedZip() {
  kx::FileSource self(kSelf);
  std::uint64_t end = 0;
  kx::DirectoryPlace place;
  return self.ok() && kx::FindEndRecordIn(self, self.size(), true, end) &&
         kx::ReadDirectoryPlace(self, end, place) == kx::rc::Ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);   // keeps its lines in order with stderr's
  kx::KxZip zip;
  zip.ZipFile = kSelf;
  zip.TargetDir = ".";
  zip.OverwriteMode = kx::OptionCode(kx::Overwrite::Never);
  zip.RestoreFolders = true;
  bool folderGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-o") {
      zip.OverwriteMode = kx::OptionCode(kx::Overwrite::Always);
    } else if (arg.starts_with("-p") && arg.size() > 2) {
      zip.Password = arg.substr(2);
    } else if (arg.starts_with("-") || folderGiven) {
      return Usage(argv[0]);
    } else {
      zip.TargetDir = arg;
      folderGiven = true;
    }
  }
  if (!HasAppendedZip()) {
    std::fprintf(stderr, "%s: Diese Datei enthält kein ZIP-Archiv.\n", argv[0]);
    return 2;
  }

  std::error_code ec;
  const std::filesystem::path shown = std::filesystem::absolute(zip.TargetDir, ec);
  std::printf("Entpacken nach %s ...\n", shown.c_str());
  zip.Progress = [](kx::ProgressEvent& ev) {
    if (ev.MsgType == 0) return;
    if (ev.FileName.empty())
      std::fprintf(stderr, "%s\n", Words(ev.MsgType, false));
    else
      std::fprintf(stderr, "%s: %s\n", ev.FileName.c_str(), Words(ev.MsgType, true));
  };
  zip.SetAction(kx::action::Extract);
  if (zip.LastResult() != 0) {
    std::fprintf(stderr, "Entpacken mit Fehlern beendet.\n");
    return 1;
  }
  std::printf("Entpacken abgeschlossen.\n");
  return 0;
}
