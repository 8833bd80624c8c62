#pragma once
// The program's entry routine: looks at the command line once and chooses
// the interactive start, opening an archive, the command-line mode
// (ARCHIVE /entpacken | ARCHIVE /unzip FOLDER [OPTIONS] | ARCHIVE /zip FILES
// [OPTIONS]) or the error for anything else. Runs on the user-interface
// thread after the QApplication exists.
#include <QStringList>

namespace kx {

// Exit status of the command-line mode, documented in the README.
namespace exitcode {
inline constexpr int Success = 0;
inline constexpr int EngineFailure = 1;    // the engine's result text was shown
inline constexpr int BadCommandLine = 2;   // wrong switch, or a file that is no archive
inline constexpr int Cancelled = 3;        // the user cancelled the folder picker
inline constexpr int InternalError = 4;    // an unexpected run-time error
}  // namespace exitcode

struct EntryOutcome {
  bool runEventLoop = false;  // a window stays open: run the program until it closes
  int exitCode = exitcode::Success;
};

// args are the program's arguments without the program name.
EntryOutcome RunEntryRoutine(const QStringList& args);

// The text `kravix --help` prints.
QString UsageText();

}  // namespace kx
