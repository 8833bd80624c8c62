#include "sfx/zipexe_window.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "sfx/sfx_archive.h"
#include "ui/help_window.h"

namespace kx {
namespace {

constexpr const char* kTitle = "EXE-Datei erstellen";
constexpr const char* kZipFilter = "Zip Archiv (*.[zZ][iI][pP]);;Alle Dateien (*)";

QString Reason(Result r) {
  switch (r) {
    case rc::UnknownArchiveType: return "Die Datei ist kein ZIP-Archiv.";
    case rc::ArchiveError: return "Das Archiv ist beschädigt oder Teil eines mehrteiligen Archivs.";
    case rc::Overflow: return "Das Archiv ist zu groß für eine EXE-Datei ohne Zip64.";
    case rc::FileNotFound: return "Die Datei wurde nicht gefunden.";
    case rc::AccessDenied: return "Der Zugriff wurde verweigert.";
    case rc::DiskFull: return "Der Datenträger ist voll.";
    default: return QString("Fehler %1.").arg(Code(r));
  }
}

}  // namespace

ZipexeWindow::ZipexeWindow(const QString& zip, QWidget* parent) : QWidget(parent) {
  setObjectName("frmZipexe");
  setWindowTitle(kTitle);
  HelpOnF1(*this, help::SelfExtractor);
  auto* grid = new QGridLayout(this);
  TextZip = new QLineEdit(this);
  TextZip->setObjectName("TextZip");
  TextExe = new QLineEdit(this);
  TextExe->setObjectName("TextExe");
  cmdZip = new QPushButton("...", this);
  cmdZip->setObjectName("cmdZip");
  cmdExe = new QPushButton("...", this);
  cmdExe->setObjectName("cmdExe");
  cmdErstellen = new QPushButton("&Erstellen", this);
  cmdErstellen->setObjectName("cmdErstellen");
  cmdErstellen->setDefault(true);
  cmdBeenden = new QPushButton("&Beenden", this);
  cmdBeenden->setObjectName("cmdBeenden");
  for (QPushButton* browse : {cmdZip, cmdExe}) browse->setFixedWidth(browse->sizeHint().height() * 3 / 2);
  auto* labelZip = new QLabel("&ZIP-Archiv:", this);
  labelZip->setBuddy(TextZip);
  auto* labelExe = new QLabel("E&XE-Datei:", this);
  labelExe->setBuddy(TextExe);
  grid->addWidget(labelZip, 0, 0);
  grid->addWidget(TextZip, 0, 1);
  grid->addWidget(cmdZip, 0, 2);
  grid->addWidget(labelExe, 1, 0);
  grid->addWidget(TextExe, 1, 1);
  grid->addWidget(cmdExe, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(cmdErstellen);
  buttons->addWidget(cmdBeenden);
  grid->addLayout(buttons, 2, 0, 1, 3);
  grid->setColumnMinimumWidth(1, 360);

  connect(cmdZip, &QPushButton::clicked, this, &ZipexeWindow::chooseZip);
  connect(cmdExe, &QPushButton::clicked, this, &ZipexeWindow::chooseExe);
  connect(cmdErstellen, &QPushButton::clicked, this, [this] { cmdErstellen_Click(); });
  connect(cmdBeenden, &QPushButton::clicked, this, &QWidget::close);
  if (!zip.isEmpty()) setZip(zip);
}

QString ZipexeWindow::ProposedExe(const QString& zip) {
  if (zip.endsWith(".zip", Qt::CaseInsensitive) && QFileInfo(zip).fileName().size() > 4) return zip.chopped(4);
  return zip + ".run";
}

void ZipexeWindow::setZip(const QString& zip) {
  TextZip->setText(zip);
  TextExe->setText(ProposedExe(zip));
}

void ZipexeWindow::chooseZip() {
  const QString zip = QFileDialog::getOpenFileName(this, "ZIP-Archiv wählen", TextZip->text(), kZipFilter);
  if (!zip.isEmpty()) setZip(zip);
}

void ZipexeWindow::chooseExe() {
  const QString exe = QFileDialog::getSaveFileName(this, "EXE-Datei speichern unter", TextExe->text());
  if (!exe.isEmpty()) TextExe->setText(exe);
}

bool ZipexeWindow::cmdErstellen_Click() {
  const QString zip = TextZip->text().trimmed();
  const QString exe = TextExe->text().trimmed();
  if (zip.isEmpty() || exe.isEmpty()) {
    QMessageBox::warning(this, kTitle, "Bitte ein ZIP-Archiv und den Namen der EXE-Datei angeben.");
    return false;
  }
  if (QFileInfo(zip).canonicalFilePath() == QFileInfo(exe).canonicalFilePath()) {
    QMessageBox::warning(this, kTitle, "Die EXE-Datei darf nicht das ZIP-Archiv selbst sein.");
    return false;
  }
  if (QFileInfo::exists(exe) &&
      QMessageBox::question(this, kTitle, "Die Datei '" + exe + "' besteht bereits. Ersetzen?") != QMessageBox::Yes)
    return false;
  const QString stub = QCoreApplication::applicationDirPath() + "/kxsfx";
  const Result r = MakeSelfExtractor(stub.toStdString(), zip.toStdString(), exe.toStdString());
  if (r != rc::Ok) {
    QMessageBox::critical(this, kTitle, "Die EXE-Datei '" + exe + "' konnte nicht erstellt werden.\n" + Reason(r));
    return false;
  }
  QMessageBox::information(this, kTitle, "Die EXE-Datei '" + exe + "' wurde erstellt.");
  return true;
}

}  // namespace kx
