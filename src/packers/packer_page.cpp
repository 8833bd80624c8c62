#include "packers/packer_page.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include <sys/stat.h>

#include "app/utility.h"
#include "platform/user_seam.h"
#include "ui/animation_control.h"
#include "ui/message_dialog.h"

namespace kx {

namespace {

const char* const kCaptions[4] = {"ARJ", "ARC", "LHA", "ZOO"};
const char* const kKeys[4] = {"arj", "arc", "lha", "zoo"};

// Folders that hold no programs of the user, only the kernel's views.
const QStringList kSkipped = {"/proc", "/sys", "/dev"};

constexpr int kEventsEvery = 256;  // entries between two event runs

}  // namespace

PackerPage::PackerPage(QWidget* parent) : QWidget(parent) {
  setObjectName("FramExPacker");
  TabStrip2 = new QTabBar(this);
  TabStrip2->setObjectName("TabStrip2");
  frames_ = new QStackedWidget(this);
  for (int i = 0; i < 4; ++i) {
    TabStrip2->addTab(kCaptions[i]);
    TabStrip2->setTabData(i, QString(kKeys[i]));
    TabStrip2->setTabToolTip(i, QString("Suchpfad für ") + kCaptions[i] + ".EXE");
    FramExTab[i] = new QGroupBox(QString(kCaptions[i]) + "-Optionen");
    FramExTab[i]->setObjectName(QString("FramExTab%1").arg(i));
    textExPacker[i] = new QLineEdit;
    textExPacker[i]->setObjectName(QString("textExPacker%1").arg(i));
    textExPacker[i]->installEventFilter(this);
    cmdExPacker[i] = new QPushButton("...");
    cmdExPacker[i]->setObjectName(QString("cmdExPacker%1").arg(i));
    auto* row = new QHBoxLayout(FramExTab[i]);
    row->addWidget(textExPacker[i], 1);
    row->addWidget(cmdExPacker[i]);
    frames_->addWidget(FramExTab[i]);
    connect(cmdExPacker[i], &QPushButton::clicked, this, [this, i] { cmdExPacker_Click(i); });
  }
  connect(TabStrip2, &QTabBar::currentChanged, this, [this] { TabStrip2_Click(); });

  DriveLabel = new QLabel("Automatische Suche auf LW:");
  Drive1 = new QComboBox;
  Drive1->setObjectName("Drive1");
  QFile mounts("/proc/self/mounts");
  if (mounts.open(QIODevice::ReadOnly))
    for (const QString& m : MountedFileSystems(QString::fromUtf8(mounts.readAll()))) Drive1->addItem(m, m);
  Command3 = new QPushButton("Starten");
  Command3->setObjectName("Command3");
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
  Animation1 = new AnimationControl;
  Animation1->setObjectName("Animation1");

  text_ = new QLabel(
      "Kravix unterstützt diese Archivtypen nur mit der Darstellung des Achivinhaltes. Für eine weitere "
      "Bearbeitung müssen hier die einzelnen Suchpfade angegeben werden.");
  text_->setWordWrap(true);

  auto* search = new QHBoxLayout;
  search->addWidget(DriveLabel);
  search->addWidget(Drive1, 1);
  search->addWidget(Command3);
  search->addWidget(Animation1);
  auto* page = new QVBoxLayout(this);
  page->addWidget(text_);
  page->addWidget(TabStrip2);
  page->addWidget(frames_);
  page->addLayout(search);
  page->addStretch(1);
}

void PackerPage::TabStrip2_Click() {
  const QString key = TabStrip2->tabData(TabStrip2->currentIndex()).toString();
  for (int i = 0; i < 4; ++i)
    if (key == kKeys[i]) frames_->setCurrentIndex(i);
}

QString PackerPage::PackerFilter(int Index) {
  static const char* const kFilters[4] = {
      "(ARJ.EXE)|ARJ.EXE;ARJ;UNAR;KXPACK",
      "(ARC.EXE)|ARC.EXE;ARC;NOMARCH;UNAR;KXPACK",
      "(LHA.EXE)|LHA.EXE;LHA;LHASA;JLHA;UNAR;KXPACK",
      "(ZOO.EXE)|ZOO.EXE;ZOO;UNAR;KXPACK",
  };
  return Index >= 0 && Index < 4 ? kFilters[Index] : QString();
}

QString PackerPage::SearchedFile(int Index) {
  static const char* const kFiles[4] = {"arj.exe", "arc.exe", "lha.exe", "zoo.exe"};
  return Index >= 0 && Index < 4 ? kFiles[Index] : QString();
}

QStringList PackerPage::AcceptedNames(const QString& FileName) {
  const QString name = FileName.toLower();
  QStringList names{name};
  if (name == "arj.exe") names << "arj";
  if (name == "arc.exe") names << "arc" << "nomarch";
  if (name == "lha.exe") names << "jlha" << "lha" << "lhasa";
  if (name == "zoo.exe") names << "zoo";
  if (name.endsWith(".exe")) names << "unar" << "kxpack";
  return names;
}

void PackerPage::cmdExPacker_Click(int Index) {
  if (Index < 0 || Index > 3) return;
  const QString file = Seam().chooseOpenFile(this, QString("Externen Packer wählen ") + kCaptions[Index] + ".EXE",
                                             PackerFilter(Index), QDir::currentPath());
  if (!file.trimmed().isEmpty()) textExPacker[Index]->setText(file.trimmed());
}

void PackerPage::textExPacker_GotFocus(int Index) {
  if (Index >= 0 && Index < 4) textExPacker[Index]->selectAll();
}

bool PackerPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn)
    for (int i = 0; i < 4; ++i)
      if (watched == textExPacker[i]) {
        // After the box's own focus handling, which may place the cursor.
        QMetaObject::invokeMethod(this, [this, i] { textExPacker_GotFocus(i); }, Qt::QueuedConnection);
      }
  return QWidget::eventFilter(watched, event);
}

QStringList PackerPage::MountedFileSystems(const QString& mountsTable) {
  QStringList found{"/"};
  for (const QString& line : mountsTable.split('\n', Qt::SkipEmptyParts)) {
    const QStringList f = line.split(' ');
    if (f.size() < 3) continue;
    // The table writes blanks and other special characters as octal escapes.
    QString point = f[1];
    point.replace("\\040", " ").replace("\\011", "\t").replace("\\134", "\\");
    const bool device = f[0].startsWith("/dev/");
    const bool network = f[2].startsWith("nfs") || f[2] == "cifs" || f[2].startsWith("fuse.");
    const bool userPlace = point == "/home" || point.startsWith("/home/") || point.startsWith("/media/") ||
                           point.startsWith("/run/media/") || point.startsWith("/mnt/");
    if ((device || network) && (userPlace || point == "/") && !found.contains(point)) found << point;
  }
  return found;
}

void PackerPage::Command3_Click() {
  CancelMark.clear();
  if (Command3->text() != "Starten") {
    CancelMark = "ja";
    Command3->setText("Starten");
    return;
  }
  const QString root = Drive1->currentData().toString().isEmpty() ? QString("/") : Drive1->currentData().toString();
  Command3->setText("Abbrechen");
  const QString clip = ProgramFolder() + "/search.avi";
  if (FileExists(clip)) {
    Animation1->setAutoPlay(true);
    Animation1->open(clip);
  }
  emit searchRunning(true);
  TabStrip2->setEnabled(false);
  Drive1->setEnabled(false);
  for (int i = 0; i < 4; ++i) {
    textExPacker[i]->clear();
    FramExTab[i]->setEnabled(false);
  }
  for (int i = 0; i < 4; ++i) {
    QCoreApplication::processEvents();
    const QString file = SearchedFile(i);
    const QString result = FindFile(root, file);
    if (result.isEmpty() && CancelMark != "ja")
      ShowMessage("Das Programm " + file + " wurde nicht gefunden, Versuchen Sie es mit Manueller Eingabe.", "",
                  symbol::Error);
    if (!result.isEmpty()) textExPacker[i]->setText(result);
    if (CancelMark == "ja") break;
  }
  Animation1->stop();
  Command3->setText("Starten");
  TabStrip2->setEnabled(true);
  Drive1->setEnabled(true);
  for (int i = 0; i < 4; ++i) FramExTab[i]->setEnabled(true);
  emit searchRunning(false);
}

QString PackerPage::FindFile(const QString& srcPath, const QString& FileName) {
  struct stat st {};
  const QByteArray root = QFile::encodeName(srcPath);
  if (::stat(root.constData(), &st) != 0) return {};
  return findBelow(srcPath, AcceptedNames(FileName), static_cast<unsigned long>(st.st_dev), 0);
}

QString PackerPage::findBelow(const QString& folder, const QStringList& accepted, unsigned long device, int depth) {
  const QString base = folder.endsWith('/') ? folder : folder + "/";
  QDir dir(base);
  const QFileInfoList entries =
      dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  // A program in this folder first, in the order of the accepted names.
  for (const QString& name : accepted)
    for (const QFileInfo& e : entries)
      if (e.fileName().compare(name, Qt::CaseInsensitive) == 0 && e.isFile()) return e.absoluteFilePath();

  QStringList pending;
  int count = 0;
  for (const QFileInfo& e : entries) {
    if (++count % kEventsEvery == 0) QCoreApplication::processEvents();
    if (!e.isDir() || e.isSymLink()) continue;  // no link to a folder is followed
    const QString path = e.absoluteFilePath();
    if (kSkipped.contains(path)) continue;
    struct stat st {};
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0 || static_cast<unsigned long>(st.st_dev) != device)
      continue;  // another file system
    pending << path;
  }
  for (const QString& sub : pending) {
    QCoreApplication::processEvents();
    if (CancelMark == "ja") return {};
    const QString found = findBelow(sub, accepted, device, depth + 1);
    if (!found.isEmpty()) return found;
  }
  return {};
}

}  // namespace kx
