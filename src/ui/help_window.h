#pragma once
// The program's help: the HTML document kravix.html beside the program,
// shown in our own help window at the topic of a help context number. Each
// topic is an anchor "topic-" + number in the document. The window is
// created on first use, not modal, and lives until the program ends.
// A missing document shows a line saying so; nothing is reported elsewhere.
// User-interface thread only.
#include <QString>
#include <QWidget>

class QPushButton;
class QTextBrowser;

namespace kx {

// The context numbers the program opens its help with.
namespace help {
inline constexpr int Contents = 2;        // "&Hilfe" / "&Inhalt"
inline constexpr int Menus = 4;           // "&Hilfe" / "&Menü"
inline constexpr int QuickView = 12;      // the quick viewer's "Schnell&ansicht"
// The settings dialog: one topic per page, in the order of its tabs.
inline constexpr int SettingsZip = 21;
inline constexpr int SettingsUnzip = 22;
inline constexpr int SettingsPassword = 23;
inline constexpr int SettingsComment = 24;
inline constexpr int SettingsViewer = 25;
inline constexpr int SettingsPackers = 26;
inline constexpr int StartDialog = 30;    // the start dialog frmStart
inline constexpr int SelfExtractor = 31;  // zipexe's window "EXE-Datei erstellen"
}  // namespace help

class HelpWindow : public QWidget {
  Q_OBJECT
 public:
  explicit HelpWindow(QWidget* parent = nullptr);

  // Loads the document (again, if it has changed) and scrolls to the topic.
  void showTopic(int contextNumber);
  // The context number last asked for.
  int topic() const { return topic_; }

  QTextBrowser* Browser1 = nullptr;
  QPushButton* CommandInhalt = nullptr;
  QPushButton* CommandZurueck = nullptr;

 private:
  int topic_ = 0;
};

// The help document's path: kravix.html in the program's folder.
QString HelpFilePath();

// The one help window, created when first asked for.
HelpWindow& TheHelpWindow();

// Shows the help window at the topic and brings it to the front. Asked
// while a modal dialog runs, the help window belongs to that dialog until it
// ends, so that the dialog does not block it.
void ShowHelp(int contextNumber);

// Makes F1 open the help at the window's topic: pressed in the window or in
// any of its controls that has no use for the key. The filter lives as long
// as the window. A window may change its topic later through the property
// kHelpContextProperty (the archive window's help commands do).
inline constexpr const char* kHelpContextProperty = "HelpContextID";
void HelpOnF1(QWidget& window, int contextNumber);

}  // namespace kx
