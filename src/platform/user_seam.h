#pragma once
// The one seam through which the program asks the user and launches things
// outside itself: modal dialogs of ours, standard message boxes, the file,
// folder, colour and font pickers, opening a file or folder with the desktop,
// starting a program. The program runs with the real Qt implementation (or the
// headless one without a display); tests install a scripted user. All calls
// run on the user-interface thread.
#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QDialog;
class QWidget;

namespace kx {

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class BoxIcon { None, Information, Question, Exclamation, Critical };

// Standard button codes of a message box.
namespace box {
inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
}  // namespace box

class UserSeam {
 public:
  virtual ~UserSeam() = default;

  // Shows one of our own dialogs modally; returns when it has been closed or
  // hidden. The dialog records its own answer.
  virtual void runModal(QDialog& dialog) = 0;
  // A standard message box; returns the button code pressed.
  virtual int messageBox(const QString& text, const QString& title, BoxButtons buttons,
                         BoxIcon icon) = 0;
  // Pickers: empty text / no value when the user cancels.
  virtual QString chooseFolder(QWidget* owner, const QString& prompt) = 0;
  virtual QString chooseOpenFile(QWidget* owner, const QString& caption, const QString& filter,
                                 const QString& folder) = 0;
  virtual QString chooseSaveFile(QWidget* owner, const QString& caption, const QString& filter,
                                 const QString& folder) = 0;
  virtual std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) = 0;
  virtual std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) = 0;
  // Launches outside the program.
  virtual bool openWithDesktop(const QString& path) = 0;
  virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

// The seam in use: the real Qt user unless another is installed.
UserSeam& Seam();
// Installs a seam and returns the one it replaces (tests restore it).
std::unique_ptr<UserSeam> InstallSeam(std::unique_ptr<UserSeam> seam);

// The real user, through Qt's dialogs and the desktop.
class QtUser : public UserSeam {
 public:
  void runModal(QDialog& dialog) override;
  int messageBox(const QString& text, const QString& title, BoxButtons buttons, BoxIcon icon) override;
  QString chooseFolder(QWidget* owner, const QString& prompt) override;
  QString chooseOpenFile(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& folder) override;
  QString chooseSaveFile(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& folder) override;
  std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;
  std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override;
  bool openWithDesktop(const QString& path) override;
  bool startProgram(const QString& program, const QStringList& arguments) override;
};

// No display: every message also goes to standard error, every question
// takes its negative answer, nothing is launched.
class HeadlessUser : public UserSeam {
 public:
  void runModal(QDialog& dialog) override;
  int messageBox(const QString& text, const QString& title, BoxButtons buttons, BoxIcon icon) override;
  QString chooseFolder(QWidget*, const QString& prompt) override;
  QString chooseOpenFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  QString chooseSaveFile(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
  std::optional<QColor> chooseColor(QWidget*, const QColor&) override { return std::nullopt; }
  std::optional<QFont> chooseFont(QWidget*, const QFont&) override { return std::nullopt; }
  bool openWithDesktop(const QString&) override { return false; }
  bool startProgram(const QString&, const QStringList&) override { return false; }
};

}  // namespace kx
