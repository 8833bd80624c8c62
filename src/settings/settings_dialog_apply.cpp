// Form2: the handlers. The tab change, the viewer check box and viewer
// check, the two choosers that store at once, and the three buttons, with
// "&Übernehmen" in the order its steps take effect.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTabBar>
#include <QTimer>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "app/utility.h"
#include "engine/functions/kx_comment.h"
#include "packers/packer_page.h"
#include "platform/icon_theme.h"
#include "platform/user_seam.h"
#include "settings/settings_dialog.h"
#include "settings/settings_keys.h"
#include "settings/settings_store.h"
#include "shell/error_report.h"
#include "ui/help_window.h"
#include "ui/message_dialog.h"

namespace kx {
namespace {

// Blanks removed at both ends, as the classic Trim does (line breaks stay).
QString Trimmed(const QString& text) { return QString::fromStdString(Trim(text.toStdString())); }

const QColor kGreyBox(192, 192, 192);

const QString kViewerMissing = QStringLiteral(
    "Angegebener Externer Viewer/Schnellansicht konnte nicht gefunden werden oder wurde falsch zugewiesen. "
    "Überprüfen Sie den Pfad und die Zuweisung.");

// Programs on this system carry no extension; the chooser offers every file.
const QString kViewerFilter = QStringLiteral("Programme (*)|*");

int PageIndexOfKey(const QStackedWidget& pages, const QString& key) {
  for (int i = 0; i < pages.count(); ++i)
    if (pages.widget(i)->property("tabKey").toString() == key) return i;
  return -1;
}

}  // namespace

void Form2::selectTab(const QString& key) {
  for (int i = 0; i < TabStrip1->count(); ++i) {
    if (TabStrip1->tabData(i).toString() != key) continue;
    TabStrip1->setCurrentIndex(i);
    // Selecting the tab already in front raises no change: bring its page
    // forward all the same.
    TabStrip1_Click();
    return;
  }
}

QString Form2::selectedTab() const { return TabStrip1->tabData(TabStrip1->currentIndex()).toString(); }

int Form2::helpContext() const {
  const QString key = selectedTab();
  if (key == "unzip") return help::SettingsUnzip;
  if (key == "passwort") return help::SettingsPassword;
  if (key == "bemerkung") return help::SettingsComment;
  if (key == "schnellansicht") return help::SettingsViewer;
  if (key == "expacker") return help::SettingsPackers;
  return help::SettingsZip;
}

void Form2::TabStrip1_Click() {
  const QString key = selectedTab();
  const int page = PageIndexOfKey(*Pages, key);
  if (page >= 0) Pages->setCurrentIndex(page);
  if (key == "expacker") {
    FramExPacker->TabStrip2->setCurrentIndex(0);
    FramExPacker->TabStrip2_Click();
  }
}

void Form2::setViewerBoxEnabled(bool on) {
  TextExtrViewer->setEnabled(on);
  ComdWechseln->setEnabled(on);
  QPalette palette = TextExtrViewer->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    palette.setColor(group, QPalette::Base, on ? QColor(Qt::white) : kGreyBox);
  // The path stays readable on the grey box.
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(64, 64, 64));
  TextExtrViewer->setPalette(palette);
}

void Form2::ChkIntrierterViewer_Click() { setViewerBoxEnabled(ChkIntrierterViewer->checkState() != Qt::Checked); }

bool Form2::viewerpruefen(const QString& path) {
  const QString trimmed = Trimmed(path);
  if (!FileExists(trimmed)) {
    ShowMessage(kViewerMissing, "", symbol::Error);
    return false;
  }
  Picture2->clear();
  Picture2->setPixmap(ProgramIcon(trimmed).pixmap(32, 32));
  Picture2->update();
  TextExtrViewer->setText(trimmed);
  return true;
}

void Form2::ComdWechseln_Click() {
  const QString chosen =
      Seam().chooseOpenFile(this, "Viewer/Schnellansicht wählen", kViewerFilter, QDir::currentPath());
  if (!chosen.isEmpty() && viewerpruefen(chosen))
    SaveSetting(kAppName, key::Startup, key::ExternalViewer, Trimmed(chosen));
}

void Form2::TextExtrViewer_KeyPress(int keyAscii) {
  if (keyAscii == 13 && viewerpruefen(TextExtrViewer->text()))
    SaveSetting(kAppName, key::Startup, key::ExternalViewer, Trimmed(TextExtrViewer->text()));
}

void Form2::TextExtrViewer_LostFocus() {
  if (TextExtrViewer->text().isEmpty()) SaveSetting(kAppName, key::Startup, key::ExternalViewer, "");
}

void Form2::Command2_Click() {
  ErrorTrap err;
  ProgramWideState& s = ProgramState();
  err([&] {
    const QString chosen = BrowseForFolder(this, "Wählen Sie ein Verzeichnis aus:");
    if (chosen.isEmpty() || chosen == s.TargetFolder) return;
    s.TargetFolder = chosen;
    Label2->setText(chosen);
    SaveSetting(kAppName, key::Startup, key::TargetFolder, chosen);
  });
  if (err) ReportError(err);
}

void Form2::Command1_Click(int index) {
  ProgramWideState& s = ProgramState();
  if (index == 0) {
    s.Password.clear();
    QDialog::reject();
    return;
  }
  if (index == 2) {
    // As a press of F1 in the dialog would.
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(this, &f1);
    return;
  }
  ErrorTrap err;
  WorkingOptions& o = s.Options;
  // 1, 2
  err([&] { o.StorePaths = Check2->isChecked() ? 2 : 0; });
  err([&] { o.LongNames = Check3->isChecked(); });
  err([&] { o.MoveFiles = Check6->isChecked(); });
  // 3. only the four marks mean a level; the slider between them keeps it
  err([&] {
    const int v = Slider1->value();
    if (v % 30 == 0 && v >= 0 && v <= 90) o.CompressionLevel = static_cast<std::int16_t>(v / 30 + 1);
  });
  // 4
  err([&] { o.ArchiveDateMode = static_cast<std::int16_t>(Combo4->currentIndex()); });
  err([&] { o.RestoreFolders = Check5->isChecked(); });
  err([&] { o.OverwriteMode = static_cast<std::int16_t>(Combo3->currentIndex()); });
  err([&] { o.ExtractMode = static_cast<std::int16_t>(Combo2->currentIndex()); });
  // 5. an empty box keeps the password as it was
  err([&] {
    if (!Text1->text().isEmpty()) s.Password = Trimmed(Text1->text());
  });
  // 6
  err([&] { applyComment(); });
  // 7. the greyed state (viewer not installed) leaves the flag alone
  err([&] {
    if (ChkIntrierterViewer->checkState() == Qt::Checked) s.IntegratedViewer = true;
    if (ChkIntrierterViewer->checkState() == Qt::Unchecked) s.IntegratedViewer = false;
    SaveBoolSetting(key::Startup, key::IntegratedViewer, s.IntegratedViewer);
  });
  // 8, 9
  bool stored = false;
  err([&] { stored = applyPackerPaths(); });
  if (err) ReportError(err);
  // 10
  if (stored) QDialog::accept();
}

void Form2::applyComment() {
  // Without an open archive the page is not shown and nothing was edited.
  if (!commentShown_) return;
  ProgramWideState& s = ProgramState();
  const QString box = TextBemerkung->toPlainText();
  const QString comment = Trimmed(box);
  if (comment == s.PendingComment) {
    s.PendingComment = box;
    return;
  }
  KxHandle handle = 0;
  bool written = false;
  if (KxZipOpen(s.CurrentArchive.toStdString(), 0, handle) == 0) {
    const std::int16_t wrote = KxZipNewComment(handle, comment.toStdString());
    const std::int16_t closed = KxZipClose(handle);
    written = wrote == 0 && closed == 0;
  }
  if (written) {
    s.PendingComment = comment;
    TextBemerkung->setPlainText(comment);
  } else {
    ShowMessage("Kann keine Bemerkung erstellen.", "Nachricht", symbol::Error);
    TextBemerkung->setPlainText(s.PendingComment);
  }
}

bool Form2::applyPackerPaths() {
  std::array<QString, 4> paths;
  for (std::size_t i = 0; i < 4; ++i) {
    paths[i] = Trimmed(FramExPacker->textExPacker[i]->text());
    if (paths[i].isEmpty() || FileExists(paths[i])) continue;
    ShowMessage("Angegebener Externer Packer " + paths[i] + " existstiert nicht oder wurde falsch angegeben.",
                "Nachicht", symbol::Error);
    selectTab("expacker");
    FramExPacker->TabStrip2->setCurrentIndex(static_cast<int>(i));
    FramExPacker->TabStrip2_Click();
    FramExPacker->textExPacker[i]->setFocus();
    return false;
  }
  for (std::size_t i = 0; i < 4; ++i) SaveSetting(kAppName, key::Startup, key::ExPacker[i], paths[i]);
  return true;
}

void Form2::enableControls(bool on) {
  TabStrip1->setEnabled(on);
  for (QPushButton* button : Command1) button->setEnabled(on);
}

void Form2::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    ShowHelp(helpContext());
    return;
  }
  // Escape cancels like "&Abbrechen", so the password goes with it.
  if (event->key() == Qt::Key_Escape) {
    Command1_Click(0);
    return;
  }
  QDialog::keyPressEvent(event);
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    // Deferred, so that the click that brought the focus does not undo it.
    if (watched == TextExtrViewer) QTimer::singleShot(0, TextExtrViewer, &QLineEdit::selectAll);
    if (watched == TextBemerkung) QTimer::singleShot(0, TextBemerkung, &QPlainTextEdit::selectAll);
  } else if (watched == TextExtrViewer && event->type() == QEvent::FocusOut) {
    TextExtrViewer_LostFocus();
  } else if (watched == TextExtrViewer && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      TextExtrViewer_KeyPress(13);
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace kx
