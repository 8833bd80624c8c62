#include "archive_window/entry_rows.h"

#include <QApplication>
#include <QLocale>
#include <QMimeDatabase>
#include <QStyle>

#include "engine/functions/kx_functions.h"
#include "platform/class_keys.h"

namespace kx {
namespace {

// Sizes take the separators of the user's own locale (German when it is C),
// not the program-wide German default that names file types.
QLocale NumberLocale() {
  QLocale locale = QLocale::system();
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::German, QLocale::Germany);
  locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
  return locale;
}

QIcon StyleIcon(QStyle::StandardPixmap which) {
  const QStyle* style = QApplication::style();
  return style ? style->standardIcon(which) : QIcon();
}

}  // namespace

QString FormatThousands(std::uint64_t value) {
  if (value == 0) return {};
  static const QLocale locale = NumberLocale();
  return locale.toString(static_cast<qulonglong>(value));
}

QString AttributeWord(std::int16_t attributes, bool& isFolder) {
  isFolder = false;
  const int a = attributes;
  if (a == 0) return QStringLiteral("Normal");
  if (a & attr::ReadOnly) return QStringLiteral("Scheibgeschützt");
  if (a & attr::Hidden) return QStringLiteral("Versteckt");
  if (a & attr::System) return QStringLiteral("System");
  if (a & attr::Folder) {
    isFolder = true;
    return QStringLiteral("Verzeichnis");
  }
  if (a & attr::Archive) return QStringLiteral("Archiv");
  return QString::number(a);
}

QString ExtensionOf(const QString& name) {
  const qsizetype dot = name.indexOf('.');
  return dot < 0 ? QString() : name.mid(dot);
}

QString WithTrailingSlash(const QString& path) { return path.endsWith('/') ? path : path + '/'; }

QString RegQueryDefault(std::intptr_t root, const QString& subkey) {
  if (root == 0) return {};
  return QueryClassDefault(subkey);
}

QString FileTypeText(const QString& name) {
  const QString ext = ExtensionOf(name);
  if (ext.isEmpty()) return QStringLiteral("Datei");
  const QString cls = RegQueryDefault(kClassesRoot, ext);
  if (cls.isEmpty()) return ext.mid(1).toUpper() + " Datei";
  return RegQueryDefault(kClassesRoot, cls);
}

const QString& FileTypeCache::typeText(const QString& extension) {
  auto it = types_.find(extension);
  if (it == types_.end()) it = types_.emplace(extension, FileTypeText("x" + extension)).first;
  return it->second;
}

const QIcon& FileTypeCache::icon(const QString& extension, bool isFolder) {
  if (isFolder) {
    if (folderIcon_.isNull()) folderIcon_ = QIcon::fromTheme("folder", StyleIcon(QStyle::SP_DirIcon));
    return folderIcon_;
  }
  auto it = icons_.find(extension);
  if (it == icons_.end()) {
    static const QMimeDatabase db;
    const QMimeType type = extension.contains('/') ? db.mimeTypeForName("application/octet-stream")
                                                   : db.mimeTypeForFile("x" + extension, QMimeDatabase::MatchExtension);
    QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
    if (icon.isNull()) icon = StyleIcon(QStyle::SP_FileIcon);
    it = icons_.emplace(extension, icon).first;
  }
  return it->second;
}

void FileTypeCache::fileKind(QStringView extension, const QString*& type, const QIcon*& icon) {
  if (!lastType_ || extension != lastExtension_) {
    lastExtension_ = extension.toString();
    lastType_ = &typeText(lastExtension_);
    lastIcon_ = &this->icon(lastExtension_, false);
  }
  type = lastType_;
  icon = lastIcon_;
}

EntryRow MakeEntryRow(const EntryInfo& entry, FileTypeCache& types) {
  EntryRow row;
  row.name = QString::fromStdString(entry.name);
  row.size = entry.size;
  row.packedSize = entry.packedSize;
  row.ratio = KxZipPercent(entry.size, entry.packedSize);
  row.modified = entry.modified;
  bool folder = false;
  const auto attributes = static_cast<std::int16_t>(entry.attributes & 0xffff);
  row.attribute = AttributeWord(attributes, folder);
  if (attributes & attr::Folder) {
    const QString ext = ExtensionOf(row.name);
    row.type = folder ? QStringLiteral("Ordner") : types.typeText(ext);
    row.icon = types.icon(ext, true);
  } else {
    // Without the folder bit the attribute word is never the folder's.
    const qsizetype dot = row.name.indexOf('.');
    const QString* type = nullptr;
    const QIcon* icon = nullptr;
    types.fileKind(dot < 0 ? QStringView() : QStringView(row.name).mid(dot), type, icon);
    row.type = *type;
    row.icon = *icon;
  }
  row.encrypted = entry.encrypted;
  row.checksum = static_cast<std::int32_t>(entry.crc);
  return row;
}

}  // namespace kx
