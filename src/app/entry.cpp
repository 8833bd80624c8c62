#include "app/entry.h"

#include <QCoreApplication>
#include <QLabel>
#include <QThread>

#include <future>

#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "engine/functions/kx_functions.h"
#include "start_dialog/start_dialog.h"
#include "ui/result_text.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

// The switches of the quick functions, as the engine reads them.
constexpr const char* kQuickOptionsHelp =
    "  -d          gespeicherte Verzeichnisse wiederherstellen\n"
    "  -o          vorhandene Dateien ohne Rückfrage überschreiben\n"
    "  -n          nur neuere Dateien (Aktualisieren)\n"
    "  -f          nur vorhandene, ältere Dateien ersetzen (Auffrischen)\n"
    "  -r          Unterverzeichnisse einbeziehen\n"
    "  -p          Pfade relativ zum angegebenen Verzeichnis speichern\n"
    "  -P          vollständige Pfade speichern\n"
    "  -ex -en -ef -es  Kompression: höchste, normale, schnelle, schnellste\n"
    "  -sPASSWORT  mit Passwort verschlüsseln bzw. entschlüsseln (AES-256)\n"
    "  -vGRÖSSE    Multivolume-Archiv mit Teilen dieser Größe (Bytes, k oder m)\n"
    "  -m          Originaldateien nach dem Packen löschen\n";

const QString kTitle = QStringLiteral("Kravix - Kommandozeile...");

QString Word(const QStringList& args, int n) { return n < args.size() ? args[n] : QString(); }

// The words from n on, joined by blanks: several switches may follow.
QString WordsFrom(const QStringList& args, int n) {
  return n < args.size() ? args.mid(n).join(' ') : QString();
}

// The arguments after "/zip": each one that does not begin with "-" is one
// file or pattern (the shell may have expanded *.txt into many), joined into
// the engine's file specification with blanks, a name with a blank in double
// quotes; the others are options, one argument may hold several ("-r -p").
void SplitZipArguments(const QStringList& args, QString& files, QString& options) {
  QStringList names, switches;
  for (const QString& word : args) {
    if (word.startsWith('-'))
      switches << word;
    else if (word.contains(' ') || word.contains('\t'))
      names << QChar('"') + word + QChar('"');
    else
      names << word;
  }
  files = names.join(' ');
  options = switches.join(' ');
}

// Runs a quick engine function on a worker thread while the window keeps
// painting and its animation plays; returns when the engine is done.
std::int16_t RunBlocking(std::function<std::int16_t()> call) {
  auto done = std::async(std::launch::async, std::move(call));
  while (done.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 15);
  return done.get();
}

EntryOutcome InteractiveStart() {
  ArchiveWindow& window = ShowArchiveWindow();
  if (StartDialogWanted()) ShowStartDialog(window);
  return {true, exitcode::Success};
}

EntryOutcome OpenArchive(const QString& path) {
  ProgramState().CurrentArchive = path;
  std::int16_t kind = 0;
  KxIdentifyFile(path.toStdString(), kind);
  if (kind < 1 || kind > 8) {
    ShowMessage("Kann die Datei " + path.toUpper() + " nicht öffnen.", kTitle, symbol::Error);
    return {false, exitcode::BadCommandLine};
  }
  ArchiveWindow& window = ShowArchiveWindow();
  window.setStatusMessage("Archiv '" + QString::fromStdString(FileNameOfPath(path.toStdString())) +
                          "' wird eingelesen... Bitte warten...");
  QCoreApplication::processEvents();
  window.viewzip(path);
  window.AddRecentArchive(path);
  window.setStatusMessage("Letzte Nachricht - Archiv eingelesen...");
  return {true, exitcode::Success};
}

EntryOutcome CommandLineMode(const QStringList& args) {
  KxSetCPrint(-1);
  KxGetCPrint();
  FrmKommando kommando;
  kommando.show();
  QCoreApplication::processEvents();

  const QString switchWord = Word(args, 1);
  QString archive, folder, files, options;
  bool extract = true;
  if (switchWord == "/entpacken") {
    const QString prompt = "Enthaltene Verzeichnisstrukturen werden wiederhergestellt.\r\n"
                           "Wählen Sie ein Verzeichnis zum Entpacken aus:";
    folder = BrowseForFolder(&kommando, prompt);
    if (folder.isEmpty()) return {false, exitcode::Cancelled};
    archive = QString::fromStdString(StripQuotes(Word(args, 0).toStdString()));
    files = "*.*";
    options = " -d";
  } else if (switchWord == "/unzip") {
    archive = Word(args, 0);
    folder = Word(args, 2);
    files = "*.*";
    options = WordsFrom(args, 3);
  } else if (switchWord == "/zip") {
    extract = false;
    archive = Word(args, 0);
    SplitZipArguments(args.mid(2), files, options);
  } else {
    ShowMessage("Falscher Parameter angegeben.\r\nSiehe 'Kommandozeilen Parameter' in Hilfedatei.", kTitle,
                symbol::Error);
    return {false, exitcode::BadCommandLine};
  }

  kommando.Label1->setText(archive.toUpper() +
                           (extract ? " wird Entpackt, Bitte warten..." : " wird erstellt, Bitte warten..."));
  PlayAnimation(&kommando, "filecopy.avi");

  const std::string a = archive.toStdString(), d = folder.toStdString(), f = files.toStdString(),
                    o = options.toStdString();
  std::int16_t code = extract ? RunBlocking([&] { return KxQUnZip(a, d, f, o); })
                        : RunBlocking([&] { return KxQZip(a, f, o); });
  if (code == rc::Ok) return {false, exitcode::Success};
  // A named file that is no archive is the caller's mistake, whoever finds
  // it. Decided first: the result text resets the code it is given.
  const int status = code == rc::UnknownArchiveType ? exitcode::BadCommandLine : exitcode::EngineFailure;
  ShowMessage(QString::fromStdString(EngineResultText(code)), kTitle, symbol::Error);
  return {false, status};
}

}  // namespace

EntryOutcome RunEntryRoutine(const QStringList& args) {
  try {
    const QString commandLine = args.join(' ');
    if (commandLine.isEmpty()) return InteractiveStart();
    const QString candidate = QString::fromStdString(Trim(commandLine.toStdString()));
    if (FileExists(candidate)) return OpenArchive(candidate);
    return CommandLineMode(args);
  } catch (...) {
    // An unexpected failure ends the program at once, without a message.
    return {false, exitcode::InternalError};
  }
}

QString UsageText() {
  return QStringLiteral(
      "Aufruf:\n"
      "  kravix                               Programm starten\n"
      "  kravix ARCHIV                        Archiv öffnen\n"
      "  kravix ARCHIV /entpacken             Archiv in ein zu wählendes Verzeichnis entpacken\n"
      "  kravix ARCHIV /unzip ZIEL [OPTIONEN] Archiv nach ZIEL entpacken\n"
      "  kravix ARCHIV /zip DATEIEN [OPTIONEN] ZIP-Archiv erstellen oder ergänzen\n"
      "\n"
      "Nach /zip ist jedes Argument, das nicht mit \"-\" beginnt, eine Datei oder ein\n"
      "Muster (auch mit Leerzeichen im Namen); die Argumente mit \"-\" sind Optionen.\n"
      "\n"
      "Optionen:\n"
      "%1"
      "\n"
      "Rückgabewert: 0 Erfolg, 1 Fehler der ZIP-Verarbeitung, 2 falscher Parameter\n"
      "oder kein Archiv, 3 abgebrochen, 4 unerwarteter Fehler.\n")
      .arg(QString::fromUtf8(kQuickOptionsHelp));
}

}  // namespace kx
