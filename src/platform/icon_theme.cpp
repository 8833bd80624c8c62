#include "platform/icon_theme.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStringList>

namespace kx {

void UseIconTheme() {
  const QString current = QIcon::themeName();
  if (!current.isEmpty() && current != "hicolor") return;
  for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("breeze"), QStringLiteral("gnome")}) {
    for (const QString& base : QIcon::themeSearchPaths()) {
      if (QDir(base + "/" + theme).exists()) {
        QIcon::setThemeName(theme);
        return;
      }
    }
  }
}

QIcon ProgramIcon(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
  for (const QString& name : {QFileInfo(path).baseName().toLower(), type.iconName(), type.genericIconName(),
                              QStringLiteral("application-x-executable")}) {
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) return QIcon::fromTheme(name);
  }
  // A theme without even the generic icon: Qt's own file icon.
  return QIcon::fromTheme(QStringLiteral("application-x-executable"),
                          QIcon(QStringLiteral(":/qt-project.org/styles/commonstyle/images/file-32.png")));
}

}  // namespace kx
