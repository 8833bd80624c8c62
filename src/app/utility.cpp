#include "app/utility.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QWidget>

#include "platform/user_seam.h"
#include "ui/animation_control.h"

namespace kx {

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  const QString name = info.fileName();
  if (!name.contains('*') && !name.contains('?')) return info.isFile();
  // A folder search with a pattern finds the first matching file.
  const QDir folder = info.dir();
  return !folder.entryList({name}, QDir::Files | QDir::Hidden | QDir::System).isEmpty();
}

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

void PlayAnimation(QWidget* window, const QString& fileName) {
  if (window) {
    const QString path = ProgramFolder() + "/" + fileName;
    auto* animation = window->findChild<AnimationControl*>("Animation1");
    if (animation && FileExists(path)) {
      animation->setAutoPlay(true);
      animation->open(path);
    }
  }
  QCoreApplication::processEvents();
}

QString BrowseForFolder(QWidget* owner, const QString& prompt) {
  const QString folder = Seam().chooseFolder(owner, prompt);
  if (folder.isEmpty()) return {};
  return QDir::cleanPath(folder);
}

}  // namespace kx
