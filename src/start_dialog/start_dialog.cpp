#include "start_dialog/start_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/archive_window.h"
#include "platform/user_seam.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "start_dialog/file_facts.h"
#include "ui/help_window.h"
#include "ui/window_colour.h"

namespace kx {

const QString kStartDialogLine = QStringLiteral("Kravix - Archive einfach verwalten");

namespace {

constexpr int kRecentCount = 4;
constexpr const char* kStartFormKey = "StartForm";
const QString kTab1Text = QStringLiteral(
    "Archive, die schon bearbeitet wurden können so ohne Umwege wieder geöffnet werden."
    " Dabei werden die jeweils letzten 4 Archive berücksichtigt.");
const QString kTab2Text = QStringLiteral(
    "Erstellen Sie ein normales Zip Archiv oder ein Zip Multivolume Archiv für Komprimierung"
    " auf mehrere Datenträger.");
const QString kZipRow = QStringLiteral("Zip Archiv");
const QString kMultivolumeRow = QStringLiteral("Zip Multivolume");
const QString kZipFilter = QStringLiteral("Zip Archiv (*.ZIP)|*.ZIP");
const QString kMultivolumeFilter = QStringLiteral("ZipMultivolume (*.001)|*.001");
const QString kVersionText = QStringLiteral("Kravix v1.0");

// The regional format is the user's own; a bare C locale gets German.
QLocale ListLocale() {
  const QLocale locale = QLocale::system();
  return locale.language() == QLocale::C ? QLocale(QLocale::German, QLocale::Germany) : locale;
}

QIcon ThemeIcon(const char* name, QStyle::StandardPixmap fallback) {
  return QIcon::fromTheme(QString::fromLatin1(name), QApplication::style()->standardIcon(fallback));
}

}  // namespace

QString StartListTime(const LocalDateTime& t, const QLocale& locale) {
  const QDate date(t.year, t.month, t.day);
  const QTime time(t.hour, t.minute, t.second);
  QString dateFormat = locale.dateFormat(QLocale::ShortFormat);
  if (!dateFormat.contains("yyyy")) dateFormat.replace("yy", "yyyy");
  // The long time format carries the seconds; the zone name is not wanted.
  QString timeFormat = locale.timeFormat(QLocale::LongFormat);
  timeFormat.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
  return locale.toString(date, dateFormat) + ' ' + locale.toString(time, timeFormat.trimmed()).left(5);
}

FrmStart::FrmStart(QWidget* parent) : QDialog(parent) {
  setObjectName("frmStart");
  setWindowTitle("Willkommen zu Kravix für Windows 95");
  HelpOnF1(*this, help::StartDialog);
  archiveBefore_ = ProgramState().CurrentArchive;
  ImageList1 = ThemeIcon("package-x-generic", QStyle::SP_FileIcon);
  ImageList2 = ThemeIcon("document-new", QStyle::SP_FileIcon);

  Frame1 = new QGroupBox("Startoptionen", this);
  Frame1->setObjectName("Frame1");
  TabStrip1 = new QTabBar(Frame1);
  TabStrip1->setObjectName("TabStrip1");
  TabStrip1->addTab("Bearbeitete Archive");
  TabStrip1->addTab("Neues Archiv erstellen");
  TabStrip1->setExpanding(false);

  ListView1 = new QTreeWidget;
  ListView1->setObjectName("ListView1");
  ListView1->setHeaderLabels({"Archiv", "Erstellt am", "Letzter Zugriff", "Letzter Änderung"});
  ListView1->setRootIsDecorated(false);
  ListView1->setUniformRowHeights(true);
  ListView1->setTextElideMode(Qt::ElideMiddle);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setIconSize(QSize(16, 16));
  ListView1->header()->setStretchLastSection(false);
  ListView1->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c <= 3; ++c) ListView1->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);

  ListView2 = new QListWidget;
  ListView2->setObjectName("ListView2");
  ListView2->setViewMode(QListView::IconMode);
  ListView2->setMovement(QListView::Static);
  ListView2->setIconSize(QSize(32, 32));
  ListView2->setGridSize(QSize(120, 64));
  ListView2->setSelectionMode(QAbstractItemView::SingleSelection);

  lists_ = new QStackedWidget;
  lists_->addWidget(ListView1);
  lists_->addWidget(ListView2);

  Label1 = new QLabel(Frame1);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  Label1->setMinimumHeight(2 * Label1->fontMetrics().lineSpacing());

  auto* frameLayout = new QVBoxLayout(Frame1);
  frameLayout->setSpacing(0);
  frameLayout->addWidget(TabStrip1);
  frameLayout->addWidget(lists_, 1);
  frameLayout->addSpacing(8);
  frameLayout->addWidget(Label1);

  ssCheck1 = new QCheckBox("&Diesen Dialog nicht mehr anzeigen", this);
  ssCheck1->setObjectName("ssCheck1");
  ssCheck1->setChecked(false);
  Command1[1] = new QPushButton("&Ok", this);
  Command1[0] = new QPushButton("&Abbrechen", this);
  for (int i = 0; i < 2; ++i) {
    Command1[i]->setObjectName(QString("Command1_%1").arg(i));
    Command1[i]->setMinimumWidth(90);
    connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
  }
  Command1[1]->setDefault(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ssCheck1);
  buttons->addStretch(1);
  buttons->addWidget(Command1[1]);
  buttons->addWidget(Command1[0]);
  // The right edge and the bottom stay free for the drawn texts.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 36, 34);
  layout->addWidget(Frame1, 1);
  layout->addLayout(buttons);
  Frame1->setMinimumSize(600, 290);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });
  connect(ListView1, &QTreeWidget::itemClicked, this, [this] { ListView1_Click(); });
  connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this] { Command1_Click(1); });
  connect(ListView2, &QListWidget::itemDoubleClicked, this, [this] { Command1_Click(1); });

  // Loading, step by step.
  UseWindowColour(*this);
  const QLocale locale = ListLocale();
  for (int i = 1; i <= kRecentCount; ++i) {
    const QString path = GetSetting(kAppName, "Startup", QString::number(i), "");
    if (path.isEmpty() || !FileExists(path)) continue;
    auto* row = new QTreeWidgetItem(ListView1, {path});
    row->setIcon(0, ImageList1);
    row->setToolTip(0, path);
    FileFacts facts;
    FileSearch search;
    if (search.findFirst(path.toStdString(), 0, facts).empty()) continue;
    row->setText(1, StartListTime(facts.created, locale));
    row->setText(2, StartListTime(facts.accessed, locale));
    row->setText(3, StartListTime(facts.modified, locale));
  }
  if (ListView1->topLevelItemCount() == 0) {
    TabStrip1->setCurrentIndex(1);
    TabStrip1->setEnabled(false);
    Label1->setText(kTab2Text);
  } else {
    ListView1->setCurrentItem(ListView1->topLevelItem(0));
    Label1->setText(kTab1Text);
  }
  TabStrip1_Click();
  for (const QString& kind : {kZipRow, kMultivolumeRow}) new QListWidgetItem(ImageList2, kind, ListView2);
  ListView2->setCurrentRow(0);
  Label1->raise();

  dcFont = QFont(QStringLiteral("Times New Roman"));
  dcFont.setBold(true);
  dcFont.setUnderline(false);
}

void FrmStart::TabStrip1_Click() {
  const bool recent = TabStrip1->currentIndex() == 0;
  lists_->setCurrentWidget(recent ? static_cast<QWidget*>(ListView1) : ListView2);
  Label1->setText(recent ? kTab1Text : kTab2Text);
}

void FrmStart::ListView1_Click() {
  if (const QTreeWidgetItem* row = ListView1->currentItem()) ProgramState().CurrentArchive = row->text(0);
}

void FrmStart::Command1_Click(int index) {
  ErrorTrap err;
  if (index == 0) {
    err([&] { reject(); });
    return;
  }
  if (TabStrip1->currentIndex() == 0) {
    const QTreeWidgetItem* row = ListView1->currentItem();
    if (!row) return;  // nothing to open: "&Ok" waits for a row
    err([&] { ProgramState().CurrentArchive = row->text(0); });
    choice_ = Choice::RecentArchive;
    err([&] { accept(); });
  } else {
    const QListWidgetItem* kind = ListView2->currentItem();
    newArchiveFilter_ = kind && kind->text() == kZipRow ? kZipFilter : kMultivolumeFilter;
    choice_ = Choice::NewArchive;
    err([&] { accept(); });
    err([&] { ProgramState().CurrentArchive.clear(); });
  }
}

void FrmStart::PrintText(QPainter& dc, const QString& text, std::int16_t X, std::int16_t Y, std::int32_t angle,
                         std::int16_t height, std::int16_t width) {
  QFont font(dcFont.family());
  font.setPixelSize(std::max<int>(1, height));
  font.setWeight(dcFont.bold() ? QFont::Bold : QFont::Normal);
  font.setItalic(dcFont.italic());
  font.setUnderline(dcFont.underline());
  font.setStrikeOut(false);
  font.setStyleStrategy(QFont::PreferAntialias);
  // The character cell's width: the face is stretched until its average
  // character is that wide.
  const int natural = QFontMetrics(font).averageCharWidth();
  if (natural > 0 && width > 0) font.setStretch(std::clamp(qRound(100.0 * width / natural), 1, 4000));
  dc.save();
  dc.setFont(font);
  dc.translate(X, Y);
  dc.rotate(-angle);
  // (X, Y) is the top left corner of the text's first cell.
  dc.drawText(0, QFontMetrics(font).ascent(), text);
  dc.restore();
}

void FrmStart::paintEvent(QPaintEvent*) {
  ErrorTrap err;  // a failing step is skipped; painting never reports
  QPainter dc(this);
  const int w = width(), h = height();
  err([&] {
    dcFont.setFamily(QStringLiteral("Times New Roman"));
    dcFont.setBold(true);
    dcFont.setUnderline(false);
    dc.setPen(QColor(255, 255, 255));
  });
  err([&] { PrintText(dc, kStartDialogLine, w - 16, h - 10, 90, 14, 9); });
  err([&] {
    dc.setPen(QColor(0, 0, 0));
    PrintText(dc, kStartDialogLine, w - 17, h - 11, 90, 14, 9);
  });
  err([&] {
    dcFont.setUnderline(true);
    dc.setPen(QColor(255, 255, 255));
    PrintText(dc, kVersionText, 310, h - 24, 0, 20, 10);
  });
  err([&] {
    dc.setPen(QColor(0, 0, 0));
    PrintText(dc, kVersionText, 309, h - 25, 0, 20, 10);
  });
}

void FrmStart::done(int result) {
  SaveSetting(kAppName, "Startup", kStartFormKey, ssCheck1->isChecked() ? "1" : "0");
  // A row clicked and then given up names no archive: the window keeps
  // the archive it had.
  if (choice_ == Choice::Nothing) ProgramState().CurrentArchive = archiveBefore_;
  QDialog::done(result);
}

bool StartDialogWanted() {
  try {
    return !ToBoolean(GetSetting(kAppName, "Startup", kStartFormKey, "0").trimmed().toStdString());
  } catch (...) {
    return true;  // a text that is no number shows the dialog, as 0 does
  }
}

void ShowStartDialog(ArchiveWindow& window) {
  FrmStart dialog(&window);
  Seam().runModal(dialog);
  ErrorTrap err;
  if (dialog.choice() == FrmStart::Choice::RecentArchive) {
    const QString archive = ProgramState().CurrentArchive;
    err([&] {
      window.setStatusMessage("Archiv '" + QString::fromStdString(FileNameOfPath(archive.toStdString())) +
                              "' wird eingelesen... Bitte warten...");
    });
    err([&] { QCoreApplication::processEvents(); });
    err([&] { window.viewzip(archive); });
    err([&] { window.setStatusMessage("Letzte Nachricht - Archiv eingelesen..."); });
  } else if (dialog.choice() == FrmStart::Choice::NewArchive) {
    err([&] { window.explorer_neuarchiv(dialog.newArchiveFilter()); });
  }
  if (err) ReportError(err);
}

}  // namespace kx
