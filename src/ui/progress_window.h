#pragma once
// Progress, the window shown during long engine actions, and frmkommando, the
// window of the command-line mode. Both are plain non-modal windows on the
// user-interface thread. The Progress window is loaded whenever it is asked
// for (TheProgressWindow), and closing it unloads it, so the next engine
// event that refers to it opens a fresh one.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kx {

class AnimationControl;

class ProgressWindow : public QDialog {
  Q_OBJECT
 public:
  explicit ProgressWindow(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  AnimationControl* Animation1 = nullptr;
  QPushButton* Command1 = nullptr;

  // "&Abbrechen": asks the running engine action to stop. The window stays;
  // whoever started the action closes it.
  void Command1_Click();
};

ProgressWindow& TheProgressWindow();
bool ProgressWindowLoaded();
void CloseProgressWindow();

class FrmKommando : public QDialog {
  Q_OBJECT
 public:
  explicit FrmKommando(QWidget* parent = nullptr);

  AnimationControl* Animation1 = nullptr;
  QLabel* Label1 = nullptr;
};

}  // namespace kx
