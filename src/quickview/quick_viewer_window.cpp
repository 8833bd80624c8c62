#include "quickview/quick_viewer_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QToolBar>
#include <QVariant>

#include <utility>

#include "app/base/run_error.h"
#include "platform/screen_metrics.h"
#include "quickview/viewer_component.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "ui/help_window.h"
#include "ui/message_dialog.h"
#include "ui/window_colour.h"

namespace kx {
namespace {

constexpr const char* kSection = "Schnellansicht";
constexpr const char* kTitle = "Nachricht";
constexpr int kNormalDisplay = 0;
constexpr int kHexDisplay = 2;
constexpr int kDllNotLoaded = 5;

struct ToolbarButton {
  const char* key;
  const char* tooltip;
  const char* command;
  const char* icon;
  QStyle::StandardPixmap fallback;
};
constexpr ToolbarButton kButtons[] = {
    {"suchen", "Suchen", "mnu_suchen", "edit-find", QStyle::SP_FileDialogContentsView},
    {"clipboard", "Zwischenablage Kopieren", "mnu_kopieren", "edit-copy", QStyle::SP_DialogSaveButton},
    {"drucken", "Drucken", "mnu_drucken", "document-print", QStyle::SP_DialogApplyButton},
    {"hex", "Hexadezimaldarstellung", "mnu_hex", "", QStyle::SP_CustomBase},
};

// The hexadecimal button's picture, drawn so that it reads the same on every
// desktop.
QIcon HexIcon() {
  QPixmap pixmap(24, 24);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  QFont font("Courier New");
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.drawRect(1, 3, 21, 17);
  p.drawText(QRect(1, 3, 22, 18), Qt::AlignCenter, "0F");
  return QIcon(pixmap);
}

QPointer<FrmQuickvw>& Instance() {
  static QPointer<FrmQuickvw> window;
  return window;
}

}  // namespace

QString DllNameOfFileType(int code) {
  static const std::pair<int, const char*> kDlls[] = {
      {1, "QVASCI32.DLL"}, {2, "QVHEX32.DLL"},  {3, "QVBMP32.DLL"},   {4, "QVI32.DLL"},    {5, "QVWD32.DLL"},
      {6, "QVWP632.DLL"},  {7, "QVAMI32.DLL"},  {8, "QVDB32.DLL"},    {13, "QVZIP32.DLL"}, {14, "QVLZH32.DLL"},
      {15, "QVQPW32.DLL"}, {16, "QVWAV32.DLL"}, {17, "QVIMF32.DLL"},  {20, "QVWPS32.DLL"}, {21, "QVWDB32.DLL"},
      {23, "QVWP632.DLL"}, {24, "QVMW332.DLL"}, {25, "QVXL532.DLL"},  {26, "QVWDB332.DLL"}, {28, "QVTTF32.DLL"},
      {29, "QVEXE32.DLL"}, {30, "QVPIF32.DLL"}, {31, "QVGRP32.DLL"},  {32, "QVMCI32.DLL"}, {33, "QVGEN32.DLL"},
  };
  for (const auto& [c, dll] : kDlls)
    if (c == code) return dll;
  return "unbekannt";
}

QString LoadProblemText(int code) {
  switch (code) {
    case 1: return "Benötigte Dll nicht gefunden.";
    case 2: return "Zuwenig Speicher frei.";
    case 3: return "Unkorrektes Dateiformat.";
    case 4: return "Verzeichnisse können nicht angezeigt werden.";
    case 5: return "Benötigte Dll konnnte nicht geladen werden.";
    case 6: return "Datei ist mit Password geschützt";
    case 259: return "Datei nicht gefunden.";
    default: return "Unbekannt, System unstabil.";
  }
}

FrmQuickvw::FrmQuickvw(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmquickvw");
  setWindowTitle("Schnellansicht");
  setAttribute(Qt::WA_DeleteOnClose);
  HelpOnF1(*this, help::QuickView);

  QMenu* datei = menuBar()->addMenu("&Datei");
  datei->setObjectName("mnu_datei");
  connect(addCommand(datei, "mnu_suchen", "&Suchen..."), &QAction::triggered, this, &FrmQuickvw::mnu_suchen_Click);
  connect(addCommand(datei, "mnu_kopieren", "&Kopieren"), &QAction::triggered, this, &FrmQuickvw::mnu_kopieren_Click);
  connect(addCommand(datei, "mnu_drucken", "&Drucken..."), &QAction::triggered, this, &FrmQuickvw::mnu_drucken_Click);
  QAction* hex = addCommand(datei, "mnu_hex", "&Hexansicht");
  hex->setCheckable(true);
  connect(hex, &QAction::triggered, this, &FrmQuickvw::mnu_hex_Click);
  addCommand(datei, "mnu_strich", "-");
  connect(addCommand(datei, "mnu_exit", "Sc&hließen"), &QAction::triggered, this, &FrmQuickvw::MNU_Exit_Click);
  QMenu* ansicht = menuBar()->addMenu("&Ansicht");
  ansicht->setObjectName("mnu_Ansicht");
  QAction* bar = addCommand(ansicht, "mnu_Symbolleiste", "S&ymbolleiste");
  bar->setCheckable(true);
  connect(bar, &QAction::triggered, this, &FrmQuickvw::mnu_Symbolleiste_Click);
  QMenu* hilfe = menuBar()->addMenu("&Hilfe");
  hilfe->setObjectName("mnu_hilfe");
  connect(addCommand(hilfe, "mnu_hilfeschnell", "Schnell&ansicht"), &QAction::triggered, this,
          &FrmQuickvw::mnu_hilfeschnell_Click);

  client_ = new QWidget(this);
  client_->installEventFilter(this);
  setCentralWidget(client_);
  buildToolbar();
  Qview1 = CreateViewerControl(client_);
  if (Qview1) {
    connect(Qview1, SIGNAL(Error(int, QString)), this, SLOT(Qview1_Error(int, QString)));
    connect(Qview1, SIGNAL(ErrorLoad(int)), this, SLOT(Qview1_ErrorLoad(int)));
    connect(Qview1, SIGNAL(SearchResult(bool)), this, SLOT(Qview1_SearchResult(bool)));
    connect(Qview1, SIGNAL(ViewerNotFound(int)), this, SLOT(Qview1_ViewerNotFound(int)));
    connect(Qview1, SIGNAL(DisplayModeChanged(int)), this, SLOT(Qview1_DisplayModeChanged(int)));
  }
}

QAction* FrmQuickvw::addCommand(QMenu* menu, const QString& name, const QString& caption) {
  QAction* a = caption == "-" ? menu->addSeparator() : menu->addAction(caption);
  a->setObjectName(name);
  commands_[name] = a;
  return a;
}

QAction* FrmQuickvw::command(const QString& name) const {
  const auto it = commands_.find(name);
  return it == commands_.end() ? nullptr : it->second;
}

void FrmQuickvw::buildToolbar() {
  Toolbar1 = new QToolBar(client_);
  Toolbar1->setObjectName("Toolbar1");
  for (const ToolbarButton& b : kButtons) {
    const QIcon icon = *b.icon ? QIcon::fromTheme(b.icon, style()->standardIcon(b.fallback)) : HexIcon();
    QAction* a = Toolbar1->addAction(icon, b.tooltip);
    a->setObjectName(QString("button:") + b.key);
    a->setToolTip(b.tooltip);
    commands_[a->objectName()] = a;
    const QString key = b.key;
    connect(a, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
  }
}

void FrmQuickvw::Form_Load() {
  ErrorTrap err;
  UseWindowColour(*this);
  // Sizes and positions are stored in twips.
  double height = ScreenHeightTwips() - 3500;
  double width = ScreenWidthTwips() - 6000;
  double top = CaptionHeightTwips(BorderStyle::Sizable);
  double left = BorderWidthTwips(BorderStyle::Sizable);
  err([&] { height = float(GetNumberSetting(kSection, "Höhe", height)); });
  err([&] { width = float(GetNumberSetting(kSection, "Bereite", width)); });
  err([&] { top = float(GetNumberSetting(kSection, "Top", top)); });
  err([&] { left = float(GetNumberSetting(kSection, "Left", left)); });
  resize(TwipsToPixelsX(width), TwipsToPixelsY(height));
  move(TwipsToPixelsX(left), TwipsToPixelsY(top));
  bool toolbar = true;
  err([&] { toolbar = GetBoolSetting(kSection, "Symbolleistenvisible", true); });
  command("mnu_Symbolleiste")->setChecked(toolbar);
  Toolbar1->setVisible(toolbar);
  Form_Resize();
  if (err) ReportError(err);
}

void FrmQuickvw::Form_Resize() {
  const int t = Toolbar1->isHidden() ? 0 : Toolbar1->sizeHint().height();
  Toolbar1->setGeometry(0, 0, client_->width(), t);
  if (Qview1) Qview1->setGeometry(0, t, client_->width(), std::max(0, client_->height() - t));
}

bool FrmQuickvw::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) Form_Resize();
  return QMainWindow::eventFilter(watched, event);
}

void FrmQuickvw::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  Form_Resize();
}

void FrmQuickvw::Form_QueryUnload() {
  ErrorTrap err;
  err([&] { SaveBoolSetting(kSection, "Symbolleistenvisible", !Toolbar1->isHidden()); });
  err([&] { SaveNumberSetting(kSection, "Höhe", float(PixelsToTwipsY(height()))); });
  err([&] { SaveNumberSetting(kSection, "Bereite", float(PixelsToTwipsX(width()))); });
  err([&] { SaveNumberSetting(kSection, "Top", float(PixelsToTwipsY(pos().y()))); });
  err([&] { SaveNumberSetting(kSection, "Left", float(PixelsToTwipsX(pos().x()))); });
  if (err) ReportError(err);
}

void FrmQuickvw::closeEvent(QCloseEvent* event) {
  Form_QueryUnload();
  unloaded_ = true;
  QMainWindow::closeEvent(event);
}

void FrmQuickvw::disablecontrols() {
  for (const char* name : {"mnu_suchen", "mnu_drucken", "mnu_kopieren", "mnu_hex", "button:suchen",
                           "button:clipboard", "button:drucken", "button:hex"})
    command(name)->setEnabled(false);
}

void FrmQuickvw::Toolbar1_ButtonClick(const QString& key) {
  if (key == "suchen") mnu_suchen_Click();
  else if (key == "clipboard") mnu_kopieren_Click();
  else if (key == "drucken") mnu_drucken_Click();
  else if (key == "hex") mnu_hex_Click();
}

void FrmQuickvw::mnu_suchen_Click() {
  if (Qview1) Qview1->setProperty("ViewerSearch", QString());
}

void FrmQuickvw::mnu_kopieren_Click() {
  if (Qview1) Qview1->setProperty("ViewerCopy", 1);
}

void FrmQuickvw::mnu_drucken_Click() {
  if (Qview1) Qview1->setProperty("ViewerPrint", 1);
}

void FrmQuickvw::mnu_hex_Click() {
  QAction* hex = command("mnu_hex");
  // The toolbar button arrives with the check mark as it was; the menu entry
  // has toggled it already.
  const bool wasHex = sender() == hex ? !hex->isChecked() : hex->isChecked();
  if (Qview1) {
    Qview1->setProperty("ViewerDisplayMode", wasHex ? kNormalDisplay : kHexDisplay);
    Qview1->setProperty("ViewerFile", tag_);
  }
  hex->setChecked(!wasHex);
}

void FrmQuickvw::mnu_Symbolleiste_Click() {
  QAction* entry = command("mnu_Symbolleiste");
  const bool shown = !Toolbar1->isHidden();
  entry->setChecked(!shown);
  Toolbar1->setVisible(!shown);
  Form_Resize();
}

void FrmQuickvw::mnu_hilfeschnell_Click() { ShowHelp(help::QuickView); }

void FrmQuickvw::MNU_Exit_Click() { close(); }

void FrmQuickvw::Qview1_Error(int Number, const QString&) {
  ShowMessage("Folgender Fehler ist aufgetreten : \n" + QString::number(Number), kTitle, symbol::Error);
  disablecontrols();
}

void FrmQuickvw::Qview1_ErrorLoad(int pnError) {
  ShowMessage("Fehler beim Laden einer Datei in die Schnellansicht.  \nFolgendes Problem :- " + LoadProblemText(pnError),
              kTitle, symbol::Error);
  disablecontrols();
}

void FrmQuickvw::Qview1_SearchResult(bool Found) {
  if (!Found) ShowMessage("String nicht gefunden!", kTitle, symbol::Question);
}

void FrmQuickvw::Qview1_ViewerNotFound(int pnFileType) {
  ShowMessage("Eine bestimmte DLL zum Anzeigen wurde nicht gefunden.\n\nName der DLL : " + DllNameOfFileType(pnFileType),
              kTitle, symbol::Error);
  disablecontrols();
}

void FrmQuickvw::Qview1_DisplayModeChanged(int mode) { command("mnu_hex")->setChecked(mode == kHexDisplay); }

FrmQuickvw& TheQuickViewer() {
  QPointer<FrmQuickvw>& window = Instance();
  if (!window || window->unloaded()) {
    window = new FrmQuickvw;
    window->Form_Load();
  }
  return *window;
}

bool QuickViewerLoaded() { return Instance() && !Instance()->unloaded(); }

}  // namespace kx
