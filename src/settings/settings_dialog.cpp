// Form2: building the six pages and loading them from the working values and
// the stored settings. The handlers are in settings_dialog_apply.cpp.
#include "settings/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "packers/packer_page.h"
#include "quickview/viewer_component.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "ui/animation_control.h"
#include "ui/window_colour.h"

namespace kx {
namespace {

struct Tab {
  const char* caption;
  const char* key;
  const char* tooltip;
};
constexpr Tab kTabs[] = {
    {"Zip", "zip", "Einstellungen zum Zip-Archiv erstellen"},
    {"Unzip", "unzip", "Einstellungen zum Zip-Archiv Extrahieren"},
    {"Passwort", "passwort", "Passwort eingeben/setzen"},
    {"Bemerkung", "bemerkung", "Archivbemerkungen"},
    {"Schnellansicht", "schnellansicht", "Schnellansicht konfigurieren"},
    {"Externe Packer", "expacker", "Externe Packer angeben"},
};

// Each list is filled so that the position equals the option value.
const char* const kExtractModes[] = {
    " - komplett entpacken",
    " - entpacke Archivdatei nur wenn sie existiert und aktueller ist",
    " - entpacke Archivdatei nur wenn sie existiert oder aktueller ist",
};
const char* const kOverwriteModes[] = {
    " - existierende Datei nach Abfrage überschreiben",
    " - existierende Datei ohne Abfrage überschreiben",
    " - niemals überschreiben",
};
const char* const kDateModes[] = {
    " - Datum/Zeit nach letzter Modifizierung setzen",
    " - Datum/Zeit nicht verändern",
    " - Datum/Zeit nach der aktuellsten Archivdatei setzen",
};

template <class W>
W* Named(W* widget, const char* name) {
  widget->setObjectName(QString::fromUtf8(name));
  return widget;
}

QLabel* Text(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  return label;
}

QComboBox* List(const char* name, const char* const (&items)[3], QWidget* parent) {
  auto* combo = Named(new QComboBox(parent), name);
  for (const char* item : items) combo->addItem(QString::fromUtf8(item));
  return combo;
}

QGroupBox* Frame(const QString& caption, QWidget* content, QWidget* parent) {
  auto* frame = new QGroupBox(caption, parent);
  auto* layout = new QVBoxLayout(frame);
  layout->addWidget(content);
  return frame;
}

QPushButton* Chooser(const char* name, QWidget* parent) {
  auto* button = Named(new QPushButton("...", parent), name);
  button->setFixedWidth(32);
  button->setAutoDefault(false);
  return button;
}

QString FileNamePart(const QString& path) { return QString::fromStdString(FileNameOfPath(path.toStdString())); }

}  // namespace

Form2::Form2(bool commentAllowed, QWidget* parent) : QDialog(parent) {
  setObjectName("Form2");
  setModal(true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  buildPages();
  Form_Load(commentAllowed);
}

void Form2::buildPages() {
  TabStrip1 = Named(new QTabBar(this), "TabStrip1");
  TabStrip1->setExpanding(false);
  TabStrip1->setDrawBase(false);
  Pages = Named(new QStackedWidget(this), "Pages");
  Pages->setFrameShape(QFrame::StyledPanel);

  Zipcont = buildZipPage();
  UnZipcont = buildUnzipPage();
  FramPasswort = buildPasswordPage();
  FramBemerkung = buildCommentPage();
  Schnellcont = buildViewerPage();
  FramExPacker = new PackerPage(this);
  FramExPacker->setObjectName("FramExPacker");
  connect(FramExPacker, &PackerPage::searchRunning, this, [this](bool running) { enableControls(!running); });

  QWidget* pages[] = {Zipcont, UnZipcont, FramPasswort, FramBemerkung, Schnellcont, FramExPacker};
  for (int i = 0; i < 6; ++i) {
    TabStrip1->addTab(QString::fromUtf8(kTabs[i].caption));
    TabStrip1->setTabData(i, QString::fromUtf8(kTabs[i].key));
    TabStrip1->setTabToolTip(i, QString::fromUtf8(kTabs[i].tooltip));
    pages[i]->setProperty("tabKey", QString::fromUtf8(kTabs[i].key));
    Pages->addWidget(pages[i]);
  }
  connect(TabStrip1, &QTabBar::currentChanged, this, [this] { TabStrip1_Click(); });

  const char* captions[] = {"&Abbrechen", "&Übernehmen", "&Hilfe"};
  for (int i = 0; i < 3; ++i) {
    Command1[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
    Command1[i]->setObjectName(QString("Command1_%1").arg(i));
    Command1[i]->setMinimumWidth(96);
    // Enter belongs to the path boxes (it stores the viewer), not to a button.
    Command1[i]->setAutoDefault(false);
    connect(Command1[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
  }
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  for (int i : {1, 0, 2}) buttons->addWidget(Command1[i]);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(0);
  layout->addWidget(TabStrip1);
  layout->addWidget(Pages, 1);
  layout->addSpacing(10);
  layout->addLayout(buttons);
  resize(560, 430);
}

QWidget* Form2::buildZipPage() {
  auto* page = Named(new QWidget, "Zipcont");
  Check2 = Named(new QCheckBox("mit Verzeichnisangaben", page), "Check2");
  Check3 = Named(new QCheckBox("mit langen Dateinamen", page), "Check3");

  auto* compression = new QWidget(page);
  Slider1 = Named(new QSlider(Qt::Horizontal, compression), "Slider1");
  Slider1->setRange(0, 90);
  Slider1->setSingleStep(30);
  Slider1->setPageStep(30);
  Slider1->setTickInterval(30);
  Slider1->setTickPosition(QSlider::TicksBelow);
  auto* marks = new QHBoxLayout;
  const char* names[] = {"klein  ", "mittel  ", "optimal", "hoch "};
  for (int i = 0; i < 4; ++i) {
    auto* mark = new QLabel(QString::fromUtf8(names[i]), compression);
    mark->setObjectName(QString("LabelSlider_%1").arg(i));
    mark->setAlignment(i == 0 ? Qt::AlignLeft : i == 3 ? Qt::AlignRight : Qt::AlignHCenter);
    marks->addWidget(mark, 1);
  }
  auto* sliderLayout = new QVBoxLayout(compression);
  sliderLayout->setContentsMargins(0, 0, 0, 0);
  sliderLayout->addWidget(Slider1);
  sliderLayout->addLayout(marks);

  Combo4 = List("Combo4", kDateModes, page);
  Check6 = Named(new QCheckBox("Dateien bewegen (Orginaldatei löschen)", page), "Check6");

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(Check2);
  layout->addWidget(Check3);
  layout->addWidget(Frame("Komprimierung", compression, page));
  layout->addWidget(Frame("Modifizierung von Datum/Zeit Archiv", Combo4, page));
  layout->addWidget(Check6);
  layout->addStretch(1);
  return page;
}

QWidget* Form2::buildUnzipPage() {
  auto* page = Named(new QWidget, "UnZipcont");
  auto* folder = new QWidget(page);
  Label2 = Named(new QLabel(folder), "Label2");
  Label2->setTextFormat(Qt::PlainText);
  Label2->setFrameShape(QFrame::StyledPanel);
  Label2->setMinimumWidth(200);
  Command2 = Chooser("Command2", folder);
  connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
  auto* row = new QHBoxLayout(folder);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(Label2, 1);
  row->addWidget(Command2);

  Check5 = Named(new QCheckBox("Verzeichnisstrucktur wiederherstellen(wenn im Archiv enthalten)", page), "Check5");
  Combo3 = List("Combo3", kOverwriteModes, page);
  Combo2 = List("Combo2", kExtractModes, page);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(Frame("Temponäres Verzeichnis", folder, page));
  layout->addWidget(Check5);
  layout->addWidget(Frame("Dateien überschreiben", Combo3, page));
  layout->addWidget(Frame("Unzip - Optionen", Combo2, page));
  layout->addStretch(1);
  return page;
}

QWidget* Form2::buildPasswordPage() {
  auto* page = Named(new QWidget, "FramPasswort");
  Text1 = Named(new QLineEdit(page), "Text1");
  Text1->setEchoMode(QLineEdit::Password);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(Text("Geben Sie hier bei Bedarf oder auf Verlangen, das Passwort ein und bestätigen mit dem "
                         "Button 'Übernehmen'.",
                         page));
  layout->addWidget(Text1);
  layout->addSpacing(12);
  layout->addWidget(Text("Bei Vergabe eines Passwort - dieses unbedingt merken ! Eine spätere Wiederherstellung des "
                         "Archives ist ohne dem entsprechendem Passwortes nicht mehr möglich.",
                         page));
  layout->addStretch(1);
  return page;
}

QWidget* Form2::buildCommentPage() {
  auto* page = Named(new QWidget, "FramBemerkung");
  LabelBemerkung = Named(new QLabel(page), "LabelBemerkung");
  LabelBemerkung->setTextFormat(Qt::PlainText);
  QFont bold = LabelBemerkung->font();
  bold.setBold(true);
  LabelBemerkung->setFont(bold);
  TextBemerkung = Named(new QPlainTextEdit(page), "TextBemerkung");
  TextBemerkung->installEventFilter(this);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(LabelBemerkung);
  layout->addWidget(TextBemerkung, 1);
  layout->addWidget(Text("Jedem Ziparchiv kann eine Beschreibung oder Bemerkung hinzugefügt werden. Diese darf bis "
                         "zu 1024 Zeichen umfassen und wird hier eingegeben bzw. gelesen.  ",
                         page));
  return page;
}

QWidget* Form2::buildViewerPage() {
  auto* page = Named(new QWidget, "Schnellcont");
  ChkIntrierterViewer = Named(new QCheckBox("Integrierte Schnellansicht benutzen", page), "ChkIntrierterViewer");
  connect(ChkIntrierterViewer, &QCheckBox::stateChanged, this, &Form2::ChkIntrierterViewer_Click);

  TextExtrViewer = Named(new QLineEdit(page), "TextExtrViewer");
  TextExtrViewer->installEventFilter(this);
  ComdWechseln = Chooser("ComdWechseln", page);
  connect(ComdWechseln, &QPushButton::clicked, this, &Form2::ComdWechseln_Click);
  Picture2 = Named(new QLabel(page), "Picture2");
  Picture2->setFixedSize(36, 36);
  Picture2->setAlignment(Qt::AlignCenter);
  // As designed: greyed until the check box says otherwise.
  setViewerBoxEnabled(false);

  auto* viewerRow = new QHBoxLayout;
  viewerRow->addWidget(TextExtrViewer, 1);
  viewerRow->addWidget(ComdWechseln);
  viewerRow->addWidget(Picture2);

  auto* layout = new QVBoxLayout(page);
  layout->addWidget(ChkIntrierterViewer);
  layout->addWidget(Text("Die Integrierte Schnellansicht von Kravix unterstützt die gebräuchlichsten Dateiformate "
                         "wie z.B. ASCII, MS Works, MS Word, MS Excel 5, Multimediadateien(Avi,Wav,Rmi,Mid) usw. - "
                         "Siehe Hilfe unter Schnellansicht.",
                         page));
  layout->addSpacing(16);
  layout->addWidget(Text("Geben Sie hier bei Bedarf ein Externes Programm ein.", page));
  layout->addLayout(viewerRow);
  layout->addStretch(1);
  return page;
}

void Form2::Form_Load(bool commentAllowed) {
  ErrorTrap err;
  ProgramWideState& s = ProgramState();
  const WorkingOptions& o = s.Options;
  // 1. caption and colours
  err([&] { setWindowTitle("Zip/Unzip Einstellungen " + FileNamePart(s.CurrentArchive)); });
  err([&] {
    UseWindowColour(*this);
    if (FramExPacker->Animation1) UseWindowColour(*FramExPacker->Animation1);
  });
  // 2. the three lists
  err([&] { Combo2->setCurrentIndex(o.ExtractMode); });
  err([&] { Combo3->setCurrentIndex(o.OverwriteMode); });
  err([&] { Combo4->setCurrentIndex(o.ArchiveDateMode); });
  // 3. check boxes. The apply writes 2 for a ticked "mit Verzeichnisangaben",
  // so every value that stores paths (1 full, 2 relative) shows ticked.
  err([&] { Check5->setChecked(o.RestoreFolders); });
  err([&] { Check6->setChecked(o.MoveFiles); });
  err([&] { Check3->setChecked(o.LongNames); });
  err([&] { Check2->setChecked(o.StorePaths != 0); });
  // 4. slider
  err([&] {
    if (o.CompressionLevel >= 1) Slider1->setValue(30 * (std::min<int>(o.CompressionLevel, 4) - 1));
  });
  // 5. target folder
  err([&] { Label2->setText(s.TargetFolder); });
  // 6. the comment page
  err([&] {
    if (!commentAllowed) {
      for (int i = 0; i < TabStrip1->count(); ++i)
        if (TabStrip1->tabData(i).toString() == "bemerkung") TabStrip1->removeTab(i);
    } else {
      commentShown_ = true;
      LabelBemerkung->setText("Archivbemerkung - " + FileNamePart(s.CurrentArchive));
      TextBemerkung->setPlainText(s.PendingComment);
    }
  });
  // 7. the integrated viewer
  err([&] {
    // The stored mark and the component itself: a component removed since
    // the window loaded counts as not installed too.
    if (!ToBoolean(GetSetting(kAppName, key::Startup, key::ViewerInstalled, "-1").toStdString()) ||
        !ViewerComponentInstalled()) {
      ChkIntrierterViewer->setTristate(true);
      ChkIntrierterViewer->setCheckState(Qt::PartiallyChecked);
      ChkIntrierterViewer->setEnabled(false);
      ChkIntrierterViewer->setText("Nicht Installiert");
    } else if (s.IntegratedViewer) {
      ChkIntrierterViewer->setCheckState(Qt::Checked);
    } else {
      ChkIntrierterViewer->setCheckState(Qt::Unchecked);
      setViewerBoxEnabled(true);
    }
  });
  // 8. the external viewer. An empty path is a viewer not chosen yet, not a
  // wrong one: it is shown without the message.
  err([&] {
    TextExtrViewer->setText(GetSetting(kAppName, key::Startup, key::ExternalViewer, ""));
    if (!TextExtrViewer->text().trimmed().isEmpty()) viewerpruefen(TextExtrViewer->text());
  });
  // 9. packer paths
  for (std::size_t i = 0; i < 4; ++i)
    err([&] { FramExPacker->textExPacker[i]->setText(GetSetting(kAppName, key::Startup, key::ExPacker[i], "")); });
  // 10. the first page in front
  err([&] { selectTab("zip"); });
  if (err) ReportError(err);
}

}  // namespace kx
