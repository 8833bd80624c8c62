#pragma once
// What one packer program makes of an extract, delete or add: the argument
// vector that says exactly that to the program actually configured, or the
// German message that it cannot. Names reach each program literally: arj
// reads them from a list file (a leading "-" or "!" on its command line is a
// switch or a list file, and -p makes it match whole paths, not the name in
// every folder), arc gets every name behind "./" (it reads "@name" as a list
// file), lhasa takes every word after the archive as a name, unar and nomarch
// honour "--". Pure functions, any thread.
//
// Measured on Debian 12:
//   arj 3.10   ARJ  extract x -y (keeps folders), delete d, add a; exit 0 ok,
//              1 warning, 2 fatal, 3 CRC, 5 disk full, 6 cannot open, 7 bad
//              parameters; deleting the last entry deletes the archive file.
//   arc 5.21   ARC  extract x, delete d, add a; stores no folders; a name
//              longer than 12 bytes or an existing file at extraction makes
//              it ask "(y/n)?" again and again on a closed input.
//   lhasa 0.3  LHA  extract only (x keeps folders).
//   unar 1.10  ARJ, ARC, LHA, ZOO  extract only.
//   nomarch 1.4 ARC extract only (-U keeps the letter case of names).
//   No program of Debian writes ZOO archives.
//   kxpack     ARJ, ARC, LHA, ZOO  Kravix's own packer beside the program:
//              x, d and a with every name after "--" (as the listing spells
//              it, or the path of a file to add); exit 0 only on success.
#include <QString>

#include <string>
#include <vector>

#include "engine/functions/kx_identify.h"

namespace kx::packer {

enum class Program { Arj, Arc, Lhasa, Unar, Nomarch, Kxpack, Other };
enum class Operation { Extract, Delete, Add };

// The program a path names, by its file name without regard to letter case
// ("ARJ.EXE" and "arj" both are Arj; "lha" is Debian's lhasa).
Program ProgramOf(const std::string& fileName);
// The file names the drive search and PATH look for per format, in order.
std::vector<std::string> ProgramNamesFor(ArchiveKind kind);
// Whether the program can do the operation on the format (a program this
// table does not know is trusted to).
bool CanDo(Program program, ArchiveKind kind, Operation operation);
// Whether the program takes names as the listing spells them (UTF-8); the
// others get the bytes stored in the archive.
bool TakesListedNames(Program program);

struct Invocation {
  bool possible = false;
  QString refusal;                    // German, when not possible
  std::vector<std::string> arguments; // after the program itself
  std::vector<std::string> listFile;  // lines of the list file, when one is used
  std::vector<int> okExitCodes{0};    // exit codes that mean success
  // Texts by which the program asks a question; output holding one twice
  // means it is asking again and again.
  std::vector<std::string> questionMarks;
};

// archive: its full path; names: entry names for extract and delete (empty
// for extract: everything), paths relative to the working folder for add;
// listFilePath: where the caller writes listFile. The classic switch text
// (" e", " d", " D", " a -e -r", " a /r", "") is used as it stands only for
// a program this table does not know.
Invocation BuildInvocation(Program program, ArchiveKind kind, Operation operation,
                           const std::string& archive, const std::vector<std::string>& names,
                           const std::string& listFilePath);

// The switch text of the classic command line for a kind and an operation.
std::string ClassicSwitch(ArchiveKind kind, Operation operation);

// The names of a file specification: blanks separate, a name in double
// quotes may hold blanks; a quote inside a name stays part of it.
std::vector<std::string> SplitFileSpec(const std::string& filespec);

// A name as the listing shows it (code page 437 decoded) turned back into
// the bytes stored in a DOS archive; a name with a character outside code
// page 437 is returned as it is.
std::string ListedNameToStored(const std::string& listed);

}  // namespace kx::packer
