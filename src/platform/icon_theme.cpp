#include "platform/icon_theme.h"

#include <QDir>
#include <QIcon>
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

}  // namespace kx
