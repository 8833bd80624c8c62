#pragma once
// The registration of the program's six archive types in the class key
// store: extension -> file type -> description, the icon, the "Open" verb
// and, for ZIP archives, "Entpacken nach..."; and its removal. User-interface
// thread only; a failing write or delete is not reported.
#include <QString>

namespace kx {

struct ArchiveFileType {
  const char* fileType;     // "Zipfile"
  const char* extension;    // "zip"
  const char* description;  // "Zip Archiv"
};

inline constexpr ArchiveFileType kArchiveFileTypes[] = {
    {"Zipfile", "zip", "Zip Archiv"},       {"ZipMultivolume", "001", "Zip Multivolume Archiv"},
    {"Arjfile", "arj", "Arj Archiv"},       {"Arcfile", "arc", "Arc Archiv"},
    {"Zoofile", "zoo", "Zoo Archiv"},       {"Lzhfile", "lzh", "Lha Archiv"},
};

// The running program's absolute path.
QString ProgramFile();

// The command of a verb: program, then "%1" in quotes with a switch, or
// bare without one; without the file only the switch.
QString VerbCommand(const QString& switchText, bool withFile);

// Writes every key of the six types, in their order, then publishes the
// types to the desktop (desktop_registration.h).
void RegisterFileTypes();

// Takes the registration back: each type's key with everything below it,
// the extension keys still naming their types; then the desktop publication.
void RemoveFileTypes();

}  // namespace kx
