#include "support/scripted_user.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include "ui/message_dialog.h"

namespace kxtest {

ScriptedUser& ScriptedUser::answerMessage(int answer) {
  return answerDialog([answer](QDialog& dialog) {
    auto* button = dialog.findChild<QPushButton*>(answer == -1 ? "Command1_1" : "Command1_0");
    ASSERT_NE(button, nullptr) << "the dialog has no answer buttons";
    button->click();
  });
}

ScriptedUser& ScriptedUser::answerDialog(std::function<void(QDialog&)> action) {
  answers_.push_back({"dialog", 0, {}, std::move(action)});
  return *this;
}

ScriptedUser& ScriptedUser::answerBox(int buttonCode) {
  answers_.push_back({"box", buttonCode, {}, {}});
  return *this;
}

ScriptedUser& ScriptedUser::answerFolder(const QString& folder) {
  answers_.push_back({"folder", 0, folder, {}});
  return *this;
}

ScriptedUser& ScriptedUser::answerFile(const QString& path) {
  answers_.push_back({"file", 0, path, {}});
  return *this;
}

bool ScriptedUser::take(const QString& kind, Answer& out) {
  if (answers_.empty()) {
    ADD_FAILURE() << "unexpected question (" << kind.toStdString() << "): "
                  << (asked.empty() ? std::string() : asked.back().text.toStdString());
    return false;
  }
  if (answers_.front().kind != kind) {
    ADD_FAILURE() << "asked " << kind.toStdString() << " but the script expects "
                  << answers_.front().kind.toStdString() << ": "
                  << (asked.empty() ? std::string() : asked.back().text.toStdString());
    return false;
  }
  out = std::move(answers_.front());
  answers_.pop_front();
  return true;
}

void ScriptedUser::runModal(QDialog& dialog) {
  Asked a{"dialog", dialog.windowTitle(), {}};
  if (auto* label = dialog.findChild<QLabel*>("Label1")) a.text = label->text();
  // frmDialog shows picture n of its image list: record which one.
  if (auto* message = qobject_cast<kx::FrmDialog*>(&dialog)) {
    const QImage shown = message->Image1->pixmap().toImage();
    for (int i = 0; i < 3; ++i)
      if (!shown.isNull() && shown == message->ImageList1[i].toImage()) a.symbol = i + 1;
  }
  asked.push_back(a);
  Answer answer;
  dialog.show();
  if (take("dialog", answer) && answer.action) answer.action(dialog);
  if (dialog.isVisible()) dialog.reject();
}

int ScriptedUser::messageBox(const QString& text, const QString& title, kx::BoxButtons buttons,
                             kx::BoxIcon icon) {
  asked.push_back({"box", title, text, 0, buttons, icon});
  Answer answer;
  if (!take("box", answer)) return buttons == kx::BoxButtons::Ok ? kx::box::Ok : kx::box::Cancel;
  return answer.code;
}

QString ScriptedUser::chooseFolder(QWidget*, const QString& prompt) {
  asked.push_back({"folder", {}, prompt});
  Answer answer;
  return take("folder", answer) ? answer.text : QString();
}

QString ScriptedUser::chooseOpenFile(QWidget*, const QString& caption, const QString& filter,
                                     const QString&) {
  asked.push_back({"open", caption, filter});
  Answer answer;
  return take("file", answer) ? answer.text : QString();
}

QString ScriptedUser::chooseSaveFile(QWidget*, const QString& caption, const QString& filter,
                                     const QString&) {
  asked.push_back({"save", caption, filter});
  Answer answer;
  return take("file", answer) ? answer.text : QString();
}

std::optional<QColor> ScriptedUser::chooseColor(QWidget*, const QColor&) {
  asked.push_back({"color", {}, {}});
  Answer answer;
  if (!take("box", answer) || answer.code == 0) return std::nullopt;
  return QColor::fromRgb(static_cast<QRgb>(answer.code));
}

std::optional<QFont> ScriptedUser::chooseFont(QWidget*, const QFont&) {
  asked.push_back({"font", {}, {}});
  Answer answer;
  if (!take("file", answer) || answer.text.isEmpty()) return std::nullopt;
  return QFont(answer.text);
}

bool ScriptedUser::openWithDesktop(const QString& path) {
  opened.push_back(path);
  return true;
}

bool ScriptedUser::startProgram(const QString& program, const QStringList& arguments) {
  asked.push_back({"program", program, arguments.join(' ')});
  return true;
}

ScriptedUserScope::ScriptedUserScope() {
  auto user = std::make_unique<ScriptedUser>();
  user_ = user.get();
  previous_ = kx::InstallSeam(std::move(user));
}

ScriptedUserScope::~ScriptedUserScope() {
  EXPECT_TRUE(user_->allAnswersUsed()) << "scripted answers left over";
  kx::InstallSeam(std::move(previous_));
}

}  // namespace kxtest
