#pragma once
// The scripted user for window tests: installed as the program's user seam,
// it answers each question from a queue of scripted answers and records what
// was asked. A question without a scripted answer fails the test and gets the
// negative answer.
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "platform/user_seam.h"
#include "support/qt_print.h"

namespace kxtest {

struct Asked {
  QString kind;     // "dialog", "box", "folder", "open", "save", "color", "font", "desktop", "program"
  QString title;    // window title or caption
  QString text;     // message text ("Label1" of our dialogs), prompt, path or program
  int symbol = 0;   // frmDialog's picture index (1..3) when known, else 0
  kx::BoxButtons buttons = kx::BoxButtons::Ok;
  kx::BoxIcon icon = kx::BoxIcon::None;
};

class ScriptedUser : public kx::UserSeam {
 public:
  // frmDialog: -1 presses "&Übernehmen", 0 "&Abbrechen".
  ScriptedUser& answerMessage(int answer);
  // Any of our dialogs: the action runs with the dialog shown.
  ScriptedUser& answerDialog(std::function<void(QDialog&)> action);
  ScriptedUser& answerBox(int buttonCode);
  ScriptedUser& answerFolder(const QString& folder);   // empty: cancel
  ScriptedUser& answerFile(const QString& path);       // open or save; empty: cancel

  std::vector<Asked> asked;
  std::vector<QString> opened;  // paths handed to the desktop
  bool allAnswersUsed() const { return answers_.empty(); }

  void runModal(QDialog& dialog) override;
  int messageBox(const QString& text, const QString& title, kx::BoxButtons buttons,
                 kx::BoxIcon icon) override;
  QString chooseFolder(QWidget* owner, const QString& prompt) override;
  QString chooseOpenFile(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& folder) override;
  QString chooseSaveFile(QWidget* owner, const QString& caption, const QString& filter,
                         const QString& folder) override;
  std::optional<QColor> chooseColor(QWidget* owner, const QColor& initial) override;
  std::optional<QFont> chooseFont(QWidget* owner, const QFont& initial) override;
  bool openWithDesktop(const QString& path) override;
  bool startProgram(const QString& program, const QStringList& arguments) override;

 private:
  struct Answer {
    QString kind;
    int code = 0;
    QString text;
    std::function<void(QDialog&)> action;
  };
  bool take(const QString& kind, Answer& out);

  std::deque<Answer> answers_;
};

// Installs a scripted user for the lifetime of the object and restores the
// previous seam afterwards.
class ScriptedUserScope {
 public:
  ScriptedUserScope();
  ~ScriptedUserScope();
  ScriptedUser& user() { return *user_; }
  ScriptedUser* operator->() { return user_; }

 private:
  ScriptedUser* user_;
  std::unique_ptr<kx::UserSeam> previous_;
};

}  // namespace kxtest
