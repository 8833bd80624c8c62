#include "platform/class_keys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace kx {
namespace {

// One line per key: key, a tab, the value. Tabs and line breaks inside are
// written as %09, %0A, %0D and the percent sign as %25; the backslash stays
// free as the separator of key levels.
QString Escape(const QString& s) {
  QString out;
  for (QChar c : s) {
    if (c == '%') out += "%25";
    else if (c == '\t') out += "%09";
    else if (c == '\n') out += "%0A";
    else if (c == '\r') out += "%0D";
    else out += c;
  }
  return out;
}

QString Unescape(const QString& s) {
  QString out;
  for (int i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      bool ok = false;
      const int v = s.mid(i + 1, 2).toInt(&ok, 16);
      if (ok) {
        out += QChar(v);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace

QString ClassKeyStore::DefaultPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/Kravix/classes";
}

ClassKeyStore::ClassKeyStore(QString path) : path_(std::move(path)) {}

ClassKeyStore::Keys ClassKeyStore::load() const {
  Keys keys;
  QFile file(path_);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return keys;
  QTextStream in(&file);
  in.setEncoding(QStringConverter::Utf8);
  while (!in.atEnd()) {
    const QString line = in.readLine();
    const int tab = line.indexOf('\t');
    if (tab <= 0) continue;
    keys[Unescape(line.left(tab))] = Unescape(line.mid(tab + 1));
  }
  return keys;
}

bool ClassKeyStore::save(const Keys& keys) const {
  QDir().mkpath(QFileInfo(path_).absolutePath());
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  out.setEncoding(QStringConverter::Utf8);
  for (const auto& [key, value] : keys) out << Escape(key) << '\t' << Escape(value) << '\n';
  out.flush();
  return file.commit();
}

bool ClassKeyStore::setDefault(const QString& key, const QString& value) {
  if (value.isEmpty() || key.isEmpty()) return false;
  Keys keys = load();
  // The registration runs at every start: an unchanged key costs no write.
  if (const auto it = keys.find(key); it != keys.end() && it->first == key && it->second == value) return true;
  keys.erase(key);
  keys[key] = value;
  return save(keys);
}

std::optional<QString> ClassKeyStore::storedDefault(const QString& key) const {
  const Keys keys = load();
  const auto it = keys.find(key);
  if (it == keys.end()) return std::nullopt;
  return it->second;
}

bool ClassKeyStore::deleteTree(const QString& key) {
  if (key.isEmpty()) return false;
  Keys keys = load();
  const QString below = key + "\\";
  bool removed = false;
  for (auto it = keys.begin(); it != keys.end();) {
    if (it->first.compare(key, Qt::CaseInsensitive) == 0 ||
        it->first.startsWith(below, Qt::CaseInsensitive)) {
      it = keys.erase(it);
      removed = true;
    } else {
      ++it;
    }
  }
  return removed && save(keys);
}

QString QueryClassDefault(const QString& key) {
  if (auto stored = ClassKeyStore().storedDefault(key)) return *stored;
  static const QMimeDatabase db;
  if (key.startsWith('.')) {
    // A "." inside a folder name ("docs.v1/readme.txt") yields an extension
    // with a "/": no file type has one.
    if (key.size() < 2 || key.contains('/')) return {};
    const QList<QMimeType> types = db.mimeTypesForFileName("x" + key);
    if (types.isEmpty()) return {};
    return types.first().name();
  }
  const QMimeType type = db.mimeTypeForName(key);
  if (type.isValid()) return type.comment();
  return {};
}

}  // namespace kx
