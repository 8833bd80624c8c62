#include "ui/result_text.h"

#include <array>
#include <string_view>

namespace kx {
namespace {

constexpr int kLowest = -29;
constexpr int kHighest = 108;

// Indexed by code - kLowest; empty slots take the default text.
constexpr std::array<std::string_view, kHighest - kLowest + 1> MakeTable() {
  std::array<std::string_view, kHighest - kLowest + 1> t{};
  auto set = [&t](int code, std::string_view text) { t[code - kLowest] = text; };
  set(-29, "You need a newer version of the ZIP engine");
  set(-28, "Target disk must be removable");
  set(-27, "Archive changed between ZipFindNext calls");
  set(-26, "Not possible with multi-volume");
  set(-25, "CRC mismatch; error in file");
  set(-24, "Es wurde ein falsches Passwort angegeben.");
  set(-23, "Bad file mode");
  set(-22, "Invalid date");
  set(-21, "Too many files to process");
  set(-20, "Conflicting switch options");
  set(-19, "No action specified");
  set(-18, "Overflow");
  set(-12, "Invalid starting offset");
  set(-11, "Read past end of file");
  set(-10, "Der Speicherplatz der Diskette/Festplatte ist erschöpft.");
  set(-9, "Falscher Kommandozeilen Schalter angegeben.");
  set(-8, "Request was partially fulfilled.");
  set(-7, "Keine Dateien im Archiv.");
  set(-4, "Abgebrochen vom Benutzer.");
  set(-3, "Unbekannte Kompressionsmethode.");
  set(-2, "Fehler im Archiv.");
  set(-1, "Unbekannter Archivtyp.");
  set(0, "No error");
  set(102, "Datei nicht gefunden.");
  set(103, "Pfad nicht gefunden.");
  set(105, "Zugriff wurde Verweigert.");
  set(106, "Invalid handle");
  set(108, "Kein Speicher mehr zur Verfügung.");
  return t;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::string EngineResultText(std::int16_t& code) {
  std::string text;
  if (code >= kLowest && code <= kHighest && !kTable[code - kLowest].empty())
    text = kTable[code - kLowest];
  else
    text = "Unknown Error Code: " + std::to_string(code);
  code = 0;
  return text;
}

}  // namespace kx
