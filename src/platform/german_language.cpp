#include "platform/german_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace kx {

void UseGermanForQt() {
  // QMimeType::comment() and Qt's dialogs follow the default locale. Numbers
  // the program formats itself ask QLocale::system() instead, so they keep
  // the user's own separators.
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  QCoreApplication* app = QCoreApplication::instance();
  const QString name = QStringLiteral("qtbase_de");
  if (!app || app->findChild<QTranslator*>(name)) return;
  auto* translator = new QTranslator(app);
  translator->setObjectName(name);
  if (translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(translator);
  else
    delete translator;
}

}  // namespace kx
