#pragma once
// Form2, the settings dialog: six pages behind the tab strip TabStrip1 for
// the working options of the ZIP engine (pages "Zip" and "Unzip"), the
// password of the next action, the comment of the open archive, the viewer
// and the external packers. It is built and loaded for one opening, shown
// modally through the user seam, and closed by "&Übernehmen" (when every
// step has taken effect) or "&Abbrechen".
//
// It reads and writes the program-wide state (program_state.h) and the
// stored settings; the target folder and the external viewer are stored the
// moment they are chosen, the viewer flag and the packer paths on
// "&Übernehmen". Failures are shown through ShowMessage or the error report,
// never thrown. User-interface thread only.
//
// The class is split over two files:
//   settings_dialog.cpp        building the pages and loading them
//   settings_dialog_apply.cpp  the handlers: buttons, viewer, tabs, apply
#include <QDialog>
#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;
class QStackedWidget;
class QTabBar;

namespace kx {

class PackerPage;

class Form2 : public QDialog {
  Q_OBJECT
 public:
  // commentAllowed: the archive window's comment command is enabled (an
  // archive is open); without it the page "Bemerkung" is left out.
  explicit Form2(bool commentAllowed, QWidget* parent = nullptr);

  // Brings the page of the tab with this key ("zip", "unzip", "passwort",
  // "bemerkung", "schnellansicht", "expacker") to the front; an absent key
  // changes nothing.
  void selectTab(const QString& key);
  // The key of the selected tab.
  QString selectedTab() const;
  // The help context number of the page in front (F1 and "&Hilfe").
  int helpContext() const;

  // Checks a viewer program: a missing file gets the message and false; an
  // existing one shows its icon in Picture2, lands in TextExtrViewer and
  // gives true.
  bool viewerpruefen(const QString& path);

  // Handlers.
  void TabStrip1_Click();
  void ChkIntrierterViewer_Click();
  void ComdWechseln_Click();
  void Command2_Click();
  void Command1_Click(int index);   // 0 "&Abbrechen", 1 "&Übernehmen", 2 "&Hilfe"
  void TextExtrViewer_KeyPress(int keyAscii);
  void TextExtrViewer_LostFocus();

  // The designed controls.
  QTabBar* TabStrip1 = nullptr;
  QStackedWidget* Pages = nullptr;
  // Zipcont
  QWidget* Zipcont = nullptr;
  QCheckBox* Check2 = nullptr;   // "mit Verzeichnisangaben"
  QCheckBox* Check3 = nullptr;   // "mit langen Dateinamen"
  QSlider* Slider1 = nullptr;    // 0, 30, 60, 90: compression level 1..4
  QComboBox* Combo4 = nullptr;   // archive date mode
  QCheckBox* Check6 = nullptr;   // move files
  // UnZipcont
  QWidget* UnZipcont = nullptr;
  QLabel* Label2 = nullptr;      // the target folder
  QPushButton* Command2 = nullptr;
  QCheckBox* Check5 = nullptr;   // restore folders
  QComboBox* Combo3 = nullptr;   // overwrite mode
  QComboBox* Combo2 = nullptr;   // extract mode
  // FramPasswort
  QWidget* FramPasswort = nullptr;
  QLineEdit* Text1 = nullptr;
  // FramBemerkung
  QWidget* FramBemerkung = nullptr;
  QLabel* LabelBemerkung = nullptr;   // "Archivbemerkung - " + archive name
  QPlainTextEdit* TextBemerkung = nullptr;
  // Schnellcont
  QWidget* Schnellcont = nullptr;
  QCheckBox* ChkIntrierterViewer = nullptr;
  QLineEdit* TextExtrViewer = nullptr;
  QPushButton* ComdWechseln = nullptr;
  QLabel* Picture2 = nullptr;
  // FramExPacker
  PackerPage* FramExPacker = nullptr;
  // 0 "&Abbrechen", 1 "&Übernehmen", 2 "&Hilfe"
  std::array<QPushButton*, 3> Command1{};

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildPages();
  QWidget* buildZipPage();
  QWidget* buildUnzipPage();
  QWidget* buildPasswordPage();
  QWidget* buildCommentPage();
  QWidget* buildViewerPage();
  void Form_Load(bool commentAllowed);
  void applyComment();
  bool applyPackerPaths();
  void enableControls(bool on);
  void setViewerBoxEnabled(bool on);

  bool commentShown_ = false;   // the page "Bemerkung" is part of this opening
};

}  // namespace kx
