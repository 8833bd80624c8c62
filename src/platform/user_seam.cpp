#include "platform/user_seam.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QUrl>

#include <cstdio>

#include "platform/file_filters.h"
#include "platform/headless.h"

namespace kx {
namespace {

std::unique_ptr<UserSeam>& CurrentSeam() {
  static std::unique_ptr<UserSeam> seam;
  return seam;
}

void PrintToStderr(const QString& title, const QString& text) {
  const QByteArray line = (title.isEmpty() ? text : title + ": " + text).toUtf8();
  std::fprintf(stderr, "%s\n", line.constData());
  std::fflush(stderr);
}

// Our dialogs name their message label "Label1".
QString DialogText(const QDialog& dialog) {
  if (auto* label = dialog.findChild<QLabel*>("Label1")) return label->text();
  return {};
}

QMessageBox::StandardButtons ToQt(BoxButtons b) {
  switch (b) {
    case BoxButtons::Ok: return QMessageBox::Ok;
    case BoxButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case BoxButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case BoxButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon ToQt(BoxIcon i) {
  switch (i) {
    case BoxIcon::None: return QMessageBox::NoIcon;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    case BoxIcon::Exclamation: return QMessageBox::Warning;
    case BoxIcon::Critical: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

UserSeam& Seam() {
  auto& seam = CurrentSeam();
  if (!seam) {
    if (IsHeadless())
      seam = std::make_unique<HeadlessUser>();
    else
      seam = std::make_unique<QtUser>();
  }
  return *seam;
}

std::unique_ptr<UserSeam> InstallSeam(std::unique_ptr<UserSeam> seam) {
  std::swap(CurrentSeam(), seam);
  return seam;
}

void QtUser::runModal(QDialog& dialog) { dialog.exec(); }

int QtUser::messageBox(const QString& text, const QString& title, BoxButtons buttons, BoxIcon icon) {
  QMessageBox box(ToQt(icon), title, text, ToQt(buttons));
  switch (box.exec()) {
    case QMessageBox::Ok: return box::Ok;
    case QMessageBox::Yes: return box::Yes;
    case QMessageBox::No: return box::No;
    default: return box::Cancel;
  }
}

QString QtUser::chooseFolder(QWidget* owner, const QString& prompt) {
  // The picker shows the whole prompt as its caption, its lines joined.
  QFileDialog dialog(owner, prompt.simplified());
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

namespace {

QString ChooseFile(QWidget* owner, const QString& caption, const QString& filter, const QString& folder,
                   QFileDialog::AcceptMode mode) {
  QFileDialog dialog(owner, caption, folder);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  ApplyWindowsFilter(dialog, filter);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().first();
}

}  // namespace

QString QtUser::chooseOpenFile(QWidget* owner, const QString& caption, const QString& filter,
                               const QString& folder) {
  return ChooseFile(owner, caption, filter, folder, QFileDialog::AcceptOpen);
}

QString QtUser::chooseSaveFile(QWidget* owner, const QString& caption, const QString& filter,
                               const QString& folder) {
  return ChooseFile(owner, caption, filter, folder, QFileDialog::AcceptSave);
}

std::optional<QColor> QtUser::chooseColor(QWidget* owner, const QColor& initial) {
  const QColor c = QColorDialog::getColor(initial, owner);
  if (!c.isValid()) return std::nullopt;
  return c;
}

std::optional<QFont> QtUser::chooseFont(QWidget* owner, const QFont& initial) {
  bool ok = false;
  const QFont f = QFontDialog::getFont(&ok, initial, owner);
  if (!ok) return std::nullopt;
  return f;
}

bool QtUser::openWithDesktop(const QString& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtUser::startProgram(const QString& program, const QStringList& arguments) {
  return QProcess::startDetached(program, arguments);
}

void HeadlessUser::runModal(QDialog& dialog) {
  PrintToStderr(dialog.windowTitle(), DialogText(dialog));
  dialog.reject();
}

int HeadlessUser::messageBox(const QString& text, const QString& title, BoxButtons buttons, BoxIcon) {
  PrintToStderr(title, text);
  switch (buttons) {
    case BoxButtons::Ok: return box::Ok;
    case BoxButtons::YesNo: return box::No;
    default: return box::Cancel;
  }
}

QString HeadlessUser::chooseFolder(QWidget*, const QString& prompt) {
  PrintToStderr({}, prompt);
  return {};
}

}  // namespace kx
