#pragma once
// frmZipexe, the window of the zipexe program: the user names a ZIP archive
// and the self-extracting file to write, and "&Erstellen" puts the stub kxsfx
// (beside zipexe) in front of the archive (sfx_archive.h). Its own program,
// started by Kravix's "&EXE-Datei erstellen..." without arguments; one window,
// user-interface thread only. Failures are told in a message box, in German.
#include <QString>
#include <QWidget>

class QLineEdit;
class QPushButton;

namespace kx {

class ZipexeWindow : public QWidget {
 public:
  explicit ZipexeWindow(const QString& zip = {}, QWidget* parent = nullptr);

  // The self-extracting file Kravix proposes for a ZIP archive: its name
  // without ".zip" (any case), or with ".run" added when it has no such ending.
  static QString ProposedExe(const QString& zip);

  // "&Erstellen": writes the file; true when it was written.
  bool cmdErstellen_Click();

  QLineEdit* TextZip = nullptr;
  QLineEdit* TextExe = nullptr;
  QPushButton* cmdZip = nullptr;
  QPushButton* cmdExe = nullptr;
  QPushButton* cmdErstellen = nullptr;
  QPushButton* cmdBeenden = nullptr;

 private:
  void chooseZip();
  void chooseExe();
  void setZip(const QString& zip);
};

}  // namespace kx
