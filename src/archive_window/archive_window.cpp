#include "archive_window/archive_window.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QPointer>
#include <QDate>
#include <QStatusBar>
#include <QToolBar>

#include "app/base/run_error.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "archive_window/engine_events.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "archive_window/toolbar_icons.h"
#include "platform/screen_metrics.h"
#include "quickview/viewer_component.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "shell/file_types.h"
#include "ui/help_window.h"
#include "ui/window_colour.h"

namespace kx {
namespace {

constexpr const char* kStartup = "Startup";
constexpr double kDesignedWidthTwips = 18300;
constexpr double kDesignedHeightTwips = 7800;
constexpr double kNarrowestLayoutTwips = 6480;
constexpr const char* kDesignedFont = "MS Sans Serif";
const QString kNoArchiveCaption = QStringLiteral("Kravix - kein Archiv geöffnet");
const QString kNoArchiveHint =
    QStringLiteral("Im Menüpunkt 'Archiv' auf 'Neu' oder 'Öffnen' bzw. auf Symbole Klicken.");

struct ToolbarButton {
  const char* key;
  const char* tooltip;
};
constexpr ToolbarButton kToolbarButtons[] = {
    {"öffnen", "Archiv Öffnen"},          {"neu", "Neues Archiv"},
    {"update", "Hinzufügen/Vergleichen"}, {"delete", "Löschen"},
    {"dateibemerkung", "Archivbeschreibung"}, {"extrakt", "Extrahieren"},
    {"einstellungen", "Zip/Unzip Einstellungen"}, {"ansicht", "Ansichten"},
};

// Colours are stored as the classic 32-bit value: red in the low byte.
std::uint32_t ToColourValue(const QColor& c) {
  return std::uint32_t(c.red()) | std::uint32_t(c.green()) << 8 | std::uint32_t(c.blue()) << 16;
}
QColor FromColourValue(double value) {
  const auto v = static_cast<std::uint32_t>(static_cast<long long>(value));
  return QColor(int(v & 0xff), int((v >> 8) & 0xff), int((v >> 16) & 0xff));
}

QString ExternalViewerDefault() {
  const QString opener = "/usr/bin/xdg-open";
  return QFileInfo(opener).isExecutable() ? opener : QString();
}

}  // namespace

ArchiveWindow::ArchiveWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmDosShell");
  setWindowTitle(kNoArchiveCaption);
  HelpOnF1(*this, help::Contents);
  setAcceptDrops(true);

  listArea_ = new QWidget(this);
  ListView1 = new EntryListView(listArea_);
  ListView1->setListFont(QFont(kDesignedFont));
  Picture1 = new QLabel(listArea_);
  Picture1->setObjectName("Picture1");
  Picture1->setAlignment(Qt::AlignCenter);
  Picture1->setAutoFillBackground(true);
  Picture1->setPixmap(ToolbarIcon("update").pixmap(48, 48));
  Picture1->hide();
  setCentralWidget(listArea_);

  buildMenus();
  buildToolbar();
  buildStatusBar();
  ConnectEngineEvents(KxZip1);
  connectExtractDeleteCommands();
  connectCommentUuCommands();
  connectAddCommands();
  connectQuickViewCommands();
  connectRegistrationCommands();
  connectListInteraction();
  connectDragOutCommands();
  connectCodePageCommands();

  connect(ListView1, &EntryListView::selectionChanged, this, &ArchiveWindow::archivlistcount);
  connect(ListView1, &EntryListView::columnClicked, this, &ArchiveWindow::ListView1_ColumnClick);
  resize(TwipsToPixelsX(kDesignedWidthTwips), TwipsToPixelsY(kDesignedHeightTwips));
}

ArchiveWindow::~ArchiveWindow() = default;

QAction* ArchiveWindow::addCommand(QMenu* menu, const QString& name, const QString& caption) {
  QAction* a = caption == "-" ? menu->addSeparator() : menu->addAction(caption);
  a->setObjectName(name);
  commands_[name] = a;
  return a;
}

void ArchiveWindow::buildMenus() {
  QMenu* archiv = menuBar()->addMenu("&Archiv");
  archiv->setObjectName("mnuarchiv");
  connect(addCommand(archiv, "mnuöffnen", "&Öffnen..."), &QAction::triggered, this, &ArchiveWindow::mnuoeffnen_Click);
  addCommand(archiv, "mnu_Neu", "&Neu...");
  addCommand(archiv, "mnustrich", "-")->setVisible(false);
  for (int i = 1; i <= 4; ++i) {
    QAction* a = addCommand(archiv, QString("mnudbmru(%1)").arg(i), QString("&%1").arg(i));
    a->setVisible(false);
    connect(a, &QAction::triggered, this, [this, i] { mnudbmru_Click(i); });
  }
  addCommand(archiv, "mnuEmpty2", "-");
  addCommand(archiv, "mnuexedatei", "&EXE-Datei erstellen...")->setVisible(false);
  addCommand(archiv, "mnuderegistrieung", "&Deregistrierung...");
  addCommand(archiv, "mnustrich4", "-");
  connect(addCommand(archiv, "mnuExit", "&Beenden"), &QAction::triggered, this, &QWidget::close);

  QMenu* edit = menuBar()->addMenu("&Bearbeiten");
  edit->setObjectName("mnuabarbeiten");
  addCommand(edit, "mnu_Update", "&Hinzufügen/Vergleichen...");
  addCommand(edit, "mnualöschen", "&Löschen...")->setShortcut(QKeySequence::Delete);
  connect(addCommand(edit, "mnuMarkAll", "Alle &markieren"), &QAction::triggered, this, &ArchiveWindow::mnuMarkAll_Click);
  addCommand(edit, "mnuastrich", "-");
  addCommand(edit, "mnuaextrakt", "&Extrahieren");
  addCommand(edit, "mnutesten", "&Testen");
  addCommand(edit, "mnuSchnellansicht", "&Schnellansicht...");
  addCommand(edit, "mnuastrich2", "-");
  addCommand(edit, "mnuadateibemerkung", "Archivdatei&bemerkung...");
  addCommand(edit, "mnuastrich3", "-");
  connect(addCommand(edit, "mnuaeinstellungen", "Ein&stellungen..."), &QAction::triggered, this,
          &ArchiveWindow::mnuaeinstellungen_Click);
  connect(addCommand(edit, "mnuarchivschliessen", "&Archiv schließen"), &QAction::triggered, this,
          &ArchiveWindow::mnuarchivschliessen_Click);
  for (const char* name : {"mnu_Update", "mnualöschen", "mnuMarkAll", "mnuaextrakt", "mnutesten", "mnuSchnellansicht",
                           "mnuadateibemerkung", "mnuarchivschliessen"})
    commands_[name]->setEnabled(false);

  QMenu* extras = menuBar()->addMenu("E&xtras");
  extras->setObjectName("mnu_Extras");
  addCommand(extras, "mnu_UUEncode", "UU-&Encode...");
  addCommand(extras, "mnu_UUDecode", "UU-&Decode...");

  QMenu* view = menuBar()->addMenu("A&nsicht");
  view->setObjectName("mnuansicht");
  const char* modes[] = {"&Small Icon", "&Liste", "&Details"};
  for (int i = 1; i <= 3; ++i) {
    QAction* a = addCommand(view, QString("mnuicon(%1)").arg(i), modes[i - 1]);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, i] { mnuicon_Click(i); });
  }
  commands_["mnuicon(3)"]->setChecked(true);
  addCommand(view, "mnustrich6", "-");
  QAction* toolbarOn = addCommand(view, "mnusymbolleisten", "S&ymbolleiste");
  toolbarOn->setCheckable(true);
  connect(toolbarOn, &QAction::triggered, this, &ArchiveWindow::mnusymbolleisten_Click);
  QAction* statusOn = addCommand(view, "mnustatusleiste", "St&atusleiste");
  statusOn->setCheckable(true);
  connect(statusOn, &QAction::triggered, this, &ArchiveWindow::mnustatusleiste_Click);
  addCommand(view, "mnustrich5", "-");
  QMenu* sortMenu = view->addMenu("S&ortieren");
  sortMenu->setObjectName("mnusortiert");
  commands_["mnusortiert"] = sortMenu->menuAction();
  const char* orders[] = {"A&bwärts", "A&ufwärts"};
  for (int i = 1; i <= 2; ++i)
    connect(addCommand(sortMenu, QString("mnusortieren(%1)").arg(i), orders[i - 1]), &QAction::triggered, this,
            [this, i] { mnusortieren_Click(i); });
  addCommand(view, "mnustrich3", "-");
  connect(addCommand(view, "mnufarbe", "&Farbe..."), &QAction::triggered, this, &ArchiveWindow::mnufarbe_Click);
  connect(addCommand(view, "mnuschrift", "Sc&hriftart..."), &QAction::triggered, this, &ArchiveWindow::mnuschrift_Click);

  QMenu* help = menuBar()->addMenu("&Hilfe");
  help->setObjectName("mnuhilfe");
  addCommand(help, "mnuhinhalt", "&Inhalt");
  addCommand(help, "mnuhmenü", "&Menü");
  addCommand(help, "mnuhstrich", "-");
  addCommand(help, "mnuhinfo", "&Info");
}

void ArchiveWindow::buildToolbar() {
  Toolbar1 = addToolBar("Symbolleiste");
  Toolbar1->setObjectName("Toolbar1");
  Toolbar1->setMovable(false);
  Toolbar1->setIconSize(QSize(24, 24));
  for (const auto& b : kToolbarButtons) {
    const QString key = QString::fromUtf8(b.key);
    QAction* a = Toolbar1->addAction(ToolbarIcon(key), QString());
    a->setObjectName("button:" + key);
    a->setToolTip(QString::fromUtf8(b.tooltip));
    a->setData(key);
    commands_["button:" + key] = a;
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
  }
  for (const char* key : {"update", "delete", "extrakt", "dateibemerkung"})
    commands_[QString("button:") + key]->setEnabled(false);
}

void ArchiveWindow::buildStatusBar() {
  statusBar()->setObjectName("StatusBar1");
  const char* tooltips[] = {"Mitteilungszeile", "", "Markierte Einträge", "Anzahl Archiveinträge", ""};
  for (int i = 0; i < 5; ++i) {
    auto* panel = new QLabel(this);
    panel->setObjectName(QString("Panel%1").arg(i + 1));
    panel->setToolTip(QString::fromUtf8(tooltips[i]));
    panel->setMinimumWidth(i == 0 ? 0 : 48);
    panels_[static_cast<std::size_t>(i)] = panel;
    if (i == 0) statusBar()->addWidget(panel, 1);
    else statusBar()->addPermanentWidget(panel);
    if (i >= 1 && i <= 3) panel->hide();
  }
  // The fifth panel shows the date, which the program never writes.
  panels_[4]->setText(QDate::currentDate().toString("dd.MM.yyyy"));
}

QAction* ArchiveWindow::command(const QString& name) const {
  const auto it = commands_.find(name);
  return it == commands_.end() ? nullptr : it->second;
}

QLabel* ArchiveWindow::statusPanel(int number) const {
  return number >= 1 && number <= 5 ? panels_[static_cast<std::size_t>(number - 1)] : nullptr;
}

void ArchiveWindow::setStatusMessage(const QString& text) { panels_[0]->setText(text); }
QString ArchiveWindow::statusMessage() const { return panels_[0]->text(); }

void ArchiveWindow::setCommandEnabled(const QString& name, bool on) {
  if (QAction* a = command(name)) a->setEnabled(on);
}

void ArchiveWindow::Form_Load() {
  ErrorTrap err;
  ProgramWideState& s = ProgramState();
  err([&] {
    if (!GetBoolSetting(kStartup, "Explorereintrag", false)) RegisterFileTypes();
  });
  err([&] { setProperty("HelpFile", ProgramFolder() + "/kravix.hlp"); });
  double caption = 0, border = 0;
  err([&] {
    caption = CaptionHeightTwips(BorderStyle::Sizable);
    border = BorderWidthTwips(BorderStyle::Sizable);
  });
  err([&] { resize(width(), TwipsToPixelsY(GetNumberSetting(kStartup, "Höhe", kDesignedHeightTwips))); });
  err([&] { resize(TwipsToPixelsX(GetNumberSetting(kStartup, "Bereite", kDesignedWidthTwips)), height()); });
  err([&] { move(x(), TwipsToPixelsY(GetNumberSetting(kStartup, "Top", caption))); });
  err([&] { move(TwipsToPixelsX(GetNumberSetting(kStartup, "Left", border)), y()); });
  err([&] { UseWindowColour(*this); });
  err([&] {
    const double designed = ToColourValue(ListView1->backgroundColor());
    ListView1->setBackgroundColor(FromColourValue(GetNumberSetting(kStartup, "Backcolor", designed)));
  });
  err([&] {
    QFont font = ListView1->listFont();
    font.setFamily(GetSetting(kAppName, kStartup, "Font", kDesignedFont));
    ListView1->setListFont(font);
  });
  err([&] {
    QFont font = ListView1->listFont();
    font.setBold(GetBoolSetting(kStartup, "FontBold", false));
    ListView1->setListFont(font);
  });
  err([&] { RestoreRecentArchives(); });
  err([&] {
    command("mnusymbolleisten")->setChecked(GetBoolSetting(kStartup, "Symbolleistenvisible", true));
    Toolbar1->setVisible(command("mnusymbolleisten")->isChecked());
  });
  err([&] {
    command("mnustatusleiste")->setChecked(GetBoolSetting(kStartup, "Statusleistevisible", true));
    statusBar()->setVisible(command("mnustatusleiste")->isChecked());
  });
  err([&] {
    setWindowTitle(kNoArchiveCaption);
    setStatusMessage(kNoArchiveHint);
  });
  err([&] {
    PathMain = QDir::currentPath();
    PathZip = PathMain;
    PathDisk = PathMain;
  });
  err([&] {
    WorkingOptions& o = s.Options;
    o.CompressionLevel = KxZip1.CompressionLevel;
    o.MultiVolume = KxZip1.MultiVolume;
    o.LongNames = KxZip1.LongNames;
    o.StorePaths = KxZip1.StorePaths;
    o.MoveFiles = KxZip1.MoveFiles;
    o.RestoreFolders = KxZip1.RestoreFolders;
    o.ArchiveDateMode = KxZip1.ArchiveDateMode;
    o.ExtractMode = KxZip1.ExtractMode;
    o.OverwriteMode = KxZip1.OverwriteMode;
  });
  err([&] {
    QString temp = QDir::tempPath();
    if (temp.isEmpty()) temp = ProgramFolder();
    s.TargetFolder = GetSetting(kAppName, kStartup, "Standartpfad", temp);
  });
  err([&] { command("mnuexedatei")->setVisible(FileExists(ProgramFolder() + "/kxsfx")); });
  err([&] {
    if (ViewerComponentInstalled()) {
      SaveSetting(kAppName, kStartup, "Schnellansicht Installiert", "-1");
      s.IntegratedViewer = GetBoolSetting(kStartup, "Integrierten Viewer", true);
    } else {
      SaveSetting(kAppName, kStartup, "Schnellansicht Installiert", "0");
      s.IntegratedViewer = false;
    }
  });
  err([&] {
    if (!GetSetting(kAppName, kStartup, "Externer Viewer", "").isEmpty()) return;
    const QString viewer = ExternalViewerDefault();
    if (!viewer.isEmpty()) SaveSetting(kAppName, kStartup, "Externer Viewer", viewer);
  });
  int mode = 3;
  err([&] {
    const long stored = ToLong(GetSetting(kAppName, kStartup, "Ansicht Archiv", "3").toStdString());
    // The list knows three views; another number is a bad value like any
    // other, and the report view stays.
    if (stored < 1 || stored > 3) Raise(err::InvalidPropertyValue);
    mode = static_cast<int>(stored);
    ListView1->setViewMode(mode);
  });
  err([&] {
    show();
    mnuicon_Click(mode);
  });
  if (err) ReportError(err);
}

void ArchiveWindow::Form_QueryUnload() {
  ErrorTrap err;
  err([&] { SaveNumberSetting(kStartup, "Ansicht Archiv", ListView1->viewMode()); });
  err([&] { SaveBoolSetting(kStartup, "Symbolleistenvisible", !Toolbar1->isHidden()); });
  err([&] { SaveBoolSetting(kStartup, "Statusleistevisible", !statusBar()->isHidden()); });
  err([&] { SaveNumberSetting(kStartup, "Backcolor", ToColourValue(ListView1->backgroundColor())); });
  err([&] { SaveSetting(kAppName, kStartup, "Font", ListView1->listFont().family()); });
  err([&] { SaveBoolSetting(kStartup, "FontBold", ListView1->listFont().bold()); });
  err([&] { SaveNumberSetting(kStartup, "Höhe", PixelsToTwipsY(height())); });
  err([&] { SaveNumberSetting(kStartup, "Bereite", PixelsToTwipsX(width())); });
  err([&] { SaveNumberSetting(kStartup, "Top", PixelsToTwipsY(y())); });
  err([&] { SaveNumberSetting(kStartup, "Left", PixelsToTwipsX(x())); });
  err([&] { StoreRecentArchives(); });
  stored_ = true;
}

void ArchiveWindow::closeEvent(QCloseEvent* event) {
  if (!stored_) Form_QueryUnload();
  event->accept();
  QApplication::closeAllWindows();
}

void ArchiveWindow::Form_Resize() {
  const int w = listArea_->width();
  const int h = listArea_->height();
  if (PixelsToTwipsX(width()) < kNarrowestLayoutTwips) return;
  // Toolbar and status bar sit outside the list area, so the list takes it whole.
  ListView1->setGeometry(0, 0, w, h);
  Picture1->setGeometry(ListView1->geometry());
}

void ArchiveWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  Form_Resize();
}

void ArchiveWindow::mnuarchivschliessen_Click() {
  ProgramWideState& s = ProgramState();
  s.EncryptedEntries = 0;
  s.CurrentArchive.clear();
  ListView1->model()->clear();
  for (const char* name : {"mnu_Update", "mnualöschen", "mnuMarkAll", "mnuSchnellansicht", "mnuaextrakt", "mnutesten",
                           "mnuadateibemerkung", "mnuarchivschliessen"})
    setCommandEnabled(QString::fromUtf8(name), false);
  for (const char* key : {"update", "delete", "extrakt", "dateibemerkung"})
    setCommandEnabled(QString("button:") + key, false);
  for (int panel : {3, 4, 2}) statusPanel(panel)->hide();
  setStatusMessage(kNoArchiveHint);
  setWindowTitle(kNoArchiveCaption);
}

ArchiveWindow& TheArchiveWindow() {
  static QPointer<ArchiveWindow> window;
  if (!window) {
    window = new ArchiveWindow;
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
  }
  return *window;
}

ArchiveWindow& ShowArchiveWindow() {
  ArchiveWindow& window = TheArchiveWindow();
  window.show();
  return window;
}

}  // namespace kx
