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

 signals:
  // True while the search runs: the dialog then disables its own tab strip
  // and its three buttons, and enables them again on false.
  void searchRunning(bool running);
};

}  // namespace kx
