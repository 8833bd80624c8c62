#include "archive_window/engine_events.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "ui/result_text.h"
#include "platform/user_seam.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

namespace kx {
namespace {

QString OperationText(std::int16_t operation) {
  switch (operation) {
    case 1: return " Lesen...";
    case 2: return " Erstellen...";
    case 5: return " Löschen...";
    case 6: return " Entpacken...";
    case 7: return " Testen...";
    default: return " Bearbeiten...";
  }
}

QString LowerFileName(const std::string& path) {
  return QString::fromStdString(FileNameOfPath(path)).toLower();
}

// Letting the window messages run repaints the progress window; with one
// event per entry that was most of the time an archive of many small files
// took to extract. They run for the first event of an operation, when the
// bar moves, for an event that reports an error, and otherwise at most every
// 20 ms (often enough for "&Abbrechen").
bool TimeToLetMessagesRun(const ProgressEvent& e) {
  static QElapsedTimer since;
  static std::int16_t lastPercent = -1;
  static std::int16_t lastOperation = -1;
  if (e.MsgType == 0 && e.Percent == lastPercent && e.Operation == lastOperation && since.isValid() &&
      since.elapsed() < 20)
    return false;
  lastPercent = e.Percent;
  lastOperation = e.Operation;
  since.restart();
  return true;
}

// The normal mouse pointer again, however often the hourglass was asked for.
void NormalPointer() {
  while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

}  // namespace

void KxZip1_Progress(ProgressEvent& e) {
  ErrorTrap err;  // errors in here are skipped, never reported
  QString text;
  err([&] { text = OperationText(e.Operation); });
  err([&] { TheProgressWindow().Label1->setText(text + LowerFileName(e.FileName)); });
  err([&] { TheProgressWindow().ProgressBar1->setValue(e.Percent); });
  err([&] {
    if (TimeToLetMessagesRun(e)) QCoreApplication::processEvents();
  });
  err([&] {
    if (e.MsgType == 0 || e.MsgType == rc::Cancelled || e.MsgType == rc::NoFiles) return;
    NormalPointer();
    CloseProgressWindow();
    if (e.MsgType == rc::WrongPassword) {
      ShowMessage("Sie haben ein falsches Passwort angegeben."
                  " Wiederholen Sie den Vorgang und geben Sie in"
                  " Registerkarte 'Passwort' oder in der Kommandozeile"
                  " das richtige Passwort ein.",
                  "", symbol::Question);
      return;
    }
    ShowMessage("Fehler in Archiv '" + LowerFileName(e.ZipFile) + "' : " +
                    QString::fromStdString(EngineResultText(e.MsgType)),
                "Fehler", symbol::Error);
  });
}

void KxZip1_Prompt(PromptEvent& e) {
  const QString title = "Kravix";
  switch (e.MsgType) {
    case prompt::InsertDisk:
      e.Reply = static_cast<std::int16_t>(
          Seam().messageBox("Bitte Diskette Nr." + QString::number(e.DiskNum) + " einlegen.", title,
                            BoxButtons::OkCancel, BoxIcon::Exclamation));
      break;
    case prompt::Overwrite:
      e.Reply = static_cast<std::int16_t>(
          Seam().messageBox("Die Datei \"" + QString::fromStdString(e.FileName) +
                                "\" existiert bereits. Überschreiben?",
                            title, BoxButtons::YesNoCancel, BoxIcon::Information));
      break;
    case prompt::LastDisk:
      e.Reply = static_cast<std::int16_t>(
          Seam().messageBox("Bitte die letzte Diskette des Multivolumearchives einlegen.", title,
                            BoxButtons::OkCancel, BoxIcon::Exclamation));
      break;
    default: {
      // A non-negative number is formatted with a leading blank, as numbers
      // joined to text always were.
      const QString number = (e.Operation >= 0 ? " " : "") + QString::number(e.Operation);
      const int pressed = Seam().messageBox(
          "Got an unknown Prompt Op code:" + number +
              ". Click 'Ok' to use the engine's default prompt for this operation or click 'Cancel' to abort",
          "Unknown Operation", BoxButtons::OkCancel, BoxIcon::Exclamation);
      e.Reply = pressed == box::Ok ? reply::EngineDefault : reply::Cancel;
      break;
    }
  }
}

void ConnectEngineEvents(KxZip& engine) {
  engine.Progress = KxZip1_Progress;
  engine.Prompt = KxZip1_Prompt;
}

}  // namespace kx
