#include "settings/settings_store.h"

#include <QSettings>

#include <cmath>

#include "app/base/run_error.h"

namespace kx {
namespace {

// A fresh QSettings per call: it reads the file as it is now, so two parts of
// the program (or a restart) always see each other's writes.
QSettings Store(const QString& app) {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, app, app);
}

QString Path(const QString& section, const QString& key) { return section + "/" + key; }

}  // namespace

QString GetSetting(const QString& app, const QString& section, const QString& key,
                   const QString& defaultValue) {
  QSettings store = Store(app);
  if (store.status() != QSettings::NoError) return defaultValue;
  const QVariant v = store.value(Path(section, key));
  if (!v.isValid()) return defaultValue;
  // A value with commas written by hand reads back as a list: join it again.
  if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(",");
  return v.toString();
}

void SaveSetting(const QString& app, const QString& section, const QString& key,
                 const QString& value) {
  QSettings store = Store(app);
  store.setValue(Path(section, key), value);
  store.sync();
}

bool GetBoolSetting(const QString& section, const QString& key, bool defaultValue) {
  return ToBoolean(GetSetting(kAppName, section, key, BooleanText(defaultValue)).toStdString());
}

void SaveBoolSetting(const QString& section, const QString& key, bool value) {
  SaveSetting(kAppName, section, key, BooleanText(value));
}

double GetNumberSetting(const QString& section, const QString& key, double defaultValue) {
  const QString text = GetSetting(kAppName, section, key, {});
  if (text.isNull()) return defaultValue;
  return ToNumber(text.toStdString());
}

void SaveNumberSetting(const QString& section, const QString& key, double value) {
  // Whole numbers without a decimal part ("3", "-1"), others with a point.
  const QString text = value == std::floor(value) && std::abs(value) < 1e15
                           ? QString::number(static_cast<long long>(value))
                           : QString::number(value, 'g', 9);
  SaveSetting(kAppName, section, key, text);
}

}  // namespace kx
