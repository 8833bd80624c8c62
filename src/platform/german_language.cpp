#include "platform/german_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kx {

void UseGermanForQt() {
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
