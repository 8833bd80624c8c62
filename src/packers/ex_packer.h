#pragma once
// WorkExPacker hands a change of an ARJ, ARC, LHA or ZOO archive to the
// packer program of its format; StartExPacker runs one packer and waits for
// it while the windows keep painting. User-interface thread only.
//
// The packer never decides anything the user should: it extracts into a
// fresh folder inside the target folder, from where each file is moved into
// the target under OverwriteMode (asking through the user seam), never
// through a symbolic link and never outside the target. Deleting and adding
// work on a copy beside the archive; the copy replaces the archive only when
// the packer's exit status says success and the copy, listed again by the
// engine, holds exactly what it should. Every failure is told in German with
// the packer's last output lines and leaves the archive as it was.
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

#include "engine/functions/kx_identify.h"
#include "packers/packer_dialect.h"

namespace kx {

// The stored setting that names the packer of a kind ("ExPackerARJ" ...);
// empty for a kind without one.
QString PackerSettingKey(ArchiveKind kind);
// The packer for a kind and an operation: the stored path (the user's
// choice, whatever it can do); when that is empty, the first program for the
// format on PATH that can do the operation (arj; arc, nomarch; jlha, lha,
// lhasa; zoo; and unar for every format), else Kravix's own kxpack beside
// the program; empty when there is none of them.
QString PackerPathFor(ArchiveKind kind, packer::Operation operation);
// kxpack beside the running program; empty when it is not there.
QString OwnPackerPath();

// Runs the packer of CurrentArchive with the switch (" e", " d", " D",
// " a -e -r", " a /r" or empty for adding) and the file specification
// (names joined by blanks, a name with blanks in double quotes; "*.*" for
// the whole archive). For adding, the names are paths of the files and
// folders to add. True when the packer ran and did what was asked; false
// after a message when no packer is configured, it cannot do the
// operation, failed, or the user cancelled.
bool WorkExPacker(const QString& Schalter, const QString& filespec);
// The same with the names one by one (a name may hold quotes and blanks).
bool WorkExPacker(const QString& Schalter, const QStringList& names);

struct PackerRun {
  bool started = false;
  int startError = 0;       // errno when not started
  bool cancelled = false;   // "&Abbrechen" ended it
  bool kept_asking = false; // it asked a question again and again and was ended
  int exitStatus = -1;
  std::string output;       // its last output
};

// Runs argv in folder and returns when the child has ended. Meanwhile the
// progress window is shown, pending events run, and its "&Abbrechen" ends
// the child; a child whose output shows one of questionMarks twice is ended
// too, since with no input it would ask forever.
PackerRun StartExPacker(const std::vector<std::string>& argv, const std::string& folder,
                        const std::vector<std::string>& questionMarks = {});
// The classic form: the command line (split by the rules of clsProcess)
// runs in the target folder. True when a child was started.
bool StartExPacker(const QString& Commandline);

}  // namespace kx
