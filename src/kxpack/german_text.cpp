#include "kxpack/german_text.h"

#include <cstring>

#include "engine/codecs/member_codec.h"

namespace kxpack {

using kx::dosarc::Problem;

const char* const kUsage =
    "Aufruf: kxpack BEFEHL ARCHIV [--] [NAMEN...]\n"
    "Packt und entpackt ARJ-, ARC-, LHA- (.lzh, .lha) und ZOO-Archive.\n"
    "\n"
    "Befehle:\n"
    "  l  Inhalt auflisten (Name, Größe, gepackt, Methode, Datum, CRC)\n"
    "  t  alle oder die genannten Einträge prüfen\n"
    "  e  entpacken ohne Ordner, in den aktuellen Ordner\n"
    "  x  entpacken mit Ordnern, in den aktuellen Ordner\n"
    "  d  die genannten Einträge löschen\n"
    "  a  die genannten Dateien und Ordner hinzufügen; ein fehlendes Archiv\n"
    "     wird angelegt, seine Art nach der Endung .arj, .arc, .lzh, .lha, .zoo\n"
    "\n"
    "NAMEN sind Eintragsnamen, wie \"l\" sie zeigt (bei \"a\" Pfade unter dem\n"
    "aktuellen Ordner); ohne Namen gilt der Befehl für alle Einträge. Namen nach\n"
    "\"--\" werden wörtlich genommen. Vorhandene Dateien werden nie überschrieben.\n"
    "\n"
    "Rückgabewert: 0 alles erledigt, 1 etwas ist misslungen, 2 falscher Aufruf\n"
    "oder unlesbares Archiv.\n";

std::string ProblemText(const kx::dosarc::Report& r) {
  std::string text;
  switch (r.problem) {
    case Problem::None: text = "in Ordnung"; break;
    case Problem::NameStripped: text = "absoluter Pfad im Archiv, gekürzt unter dem aktuellen Ordner entpackt"; break;
    case Problem::CrcError: text = "CRC-Fehler"; break;
    case Problem::UnknownMethod: text = "Methode nicht unterstützt"; break;
    case Problem::Corrupt: text = "Daten beschädigt"; break;
    case Problem::NotFound: text = "Eintrag nicht gefunden"; break;
    case Problem::NoSuchFile: text = "Datei nicht gefunden"; break;
    case Problem::Exists: text = "Datei existiert bereits"; break;
    case Problem::Encrypted: text = "verschlüsselt, wird nicht entpackt"; break;
    case Problem::UnsafeName: text = "unzulässiger Name (führt aus dem Zielordner oder ist leer)"; break;
    case Problem::Blocked: text = "eine Verknüpfung oder Datei steht im Weg"; break;
    case Problem::WriteFailed: text = "Schreiben fehlgeschlagen"; break;
    case Problem::ReadFailed: text = "nicht lesbar"; break;
    case Problem::NotCp437: text = "Name mit Zeichen außerhalb der Codepage 437"; break;
    case Problem::NameTooLong: text = "Name zu lang für das Archivformat (ARC: höchstens 12 Zeichen)"; break;
    case Problem::TooLarge: text = "Datei zu groß (4 GiB oder mehr)"; break;
    case Problem::SameName: text = "gleicher Eintragsname wie eine andere Datei"; break;
    case Problem::NotAFile: text = "keine gewöhnliche Datei"; break;
    case Problem::Skipped: text = "übersprungen (Verknüpfung oder Gerätedatei)"; break;
    case Problem::IsArchive: text = "übersprungen (das Archiv selbst)"; break;
  }
  if (r.err != 0) text += std::string(" (") + std::strerror(r.err) + ")";
  return text;
}

const char* KindName(kx::ArchiveKind kind) {
  switch (kind) {
    case kx::ArchiveKind::Arj: return "ARJ";
    case kx::ArchiveKind::Arc: return "ARC";
    case kx::ArchiveKind::Lha: return "LHA";
    case kx::ArchiveKind::Zoo: return "ZOO";
    default: return "?";
  }
}

std::string MethodLabel(kx::ArchiveKind kind, std::uint16_t method, bool isFolder) {
  if (isFolder) return "Ordner";
  if (kind == kx::ArchiveKind::Lha) return std::string{'-', 'l', char(method >> 8), char(method & 0xff), '-'};
  if (kx::codec::IsStoredMethod(kind, method)) return "gespeichert";
  switch (kind) {
    case kx::ArchiveKind::Arj: return "arj " + std::to_string(method);
    case kx::ArchiveKind::Zoo: return method == 1 ? "lzw" : method == 2 ? "lh5" : "zoo " + std::to_string(method);
    case kx::ArchiveKind::Arc:
      if (method == 3) return "packed";
      if (method == 4) return "squeezed";
      if (method >= 5 && method <= 8) return "crunched";
      if (method == 9) return "squashed";
      return "arc " + std::to_string(method);
    default: return std::to_string(method);
  }
}

}  // namespace kxpack
