#pragma once
// The settings dialog's page "Externe Packer" (FramExPacker): one path box
// and chooser per packer on four frames behind the tab strip TabStrip2, and
// the search for the packer programs on a mounted file system. The settings
// dialog places the page on its tab, loads the stored paths into the boxes
// and stores them on "&Übernehmen". User-interface thread only.
#include <QString>
#include <QWidget>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;

namespace kx {

class AnimationControl;

class PackerPage : public QWidget {
  Q_OBJECT
 public:
  explicit PackerPage(QWidget* parent = nullptr);

  // The designed controls; index 0 ARJ, 1 ARC, 2 LHA, 3 ZOO.
  QTabBar* TabStrip2 = nullptr;
  std::array<QGroupBox*, 4> FramExTab{};
  std::array<QLineEdit*, 4> textExPacker{};
  std::array<QPushButton*, 4> cmdExPacker{};
  QComboBox* Drive1 = nullptr;
  QLabel* DriveLabel = nullptr;
  QPushButton* Command3 = nullptr;
  AnimationControl* Animation1 = nullptr;

  // Handlers of the page.
  void TabStrip2_Click();
  void cmdExPacker_Click(int Index);
  void Command3_Click();

  // The full path of FileName below srcPath (names compared without regard
  // to letter case), or empty; stops early once the search is cancelled.
  QString FindFile(const QString& srcPath, const QString& FileName);

  // Gaining focus in a path box selects its whole text.
  void textExPacker_GotFocus(int Index);

  // The mounted file systems Drive1 offers (root, /home, removable media),
  // read from a mounts table in the form of /proc/self/mounts.
  static QStringList MountedFileSystems(const QString& mountsTable);
  // The chooser's filter per index: the classic description, patterns that
  // also match the Linux programs that do that format's work.
  static QString PackerFilter(int Index);
  // The file searched per index ("arj.exe" ...) and the Linux programs
  // FindFile accepts for it.
  static QString SearchedFile(int Index);
  static QStringList AcceptedNames(const QString& FileName);

  // Set by a second click on Command3 while the search runs.
  QString CancelMark;

 signals:
  // True while the search runs: the dialog then disables its own tab strip
  // and its three buttons, and enables them again on false.
  void searchRunning(bool running);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QString findBelow(const QString& folder, const QStringList& accepted, unsigned long device, int depth);

  QStackedWidget* frames_ = nullptr;
  QLabel* text_ = nullptr;
};

}  // namespace kx
