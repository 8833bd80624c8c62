#pragma once
// The rows of the archive window's entry list and the small helpers that
// fill them: one plain record per archive entry, holding the values the ten
// columns show (sizes and checksum as numbers, so that sorting compares
// values, not texts), and the text rules of each column.
// User-interface thread only (file types come from the class key store).
#include <QIcon>
#include <QString>

#include <cstdint>
#include <unordered_map>

#include "engine/entry.h"

namespace kx {

// The ten columns, in order.
enum EntryColumn : int {
  ColName = 0,
  ColSize,
  ColPackedSize,
  ColRatio,
  ColDate,
  ColTime,
  ColAttribute,
  ColType,
  ColPassword,
  ColChecksum,
  ColumnCount
};

struct EntryRow {
  QString name;             // as the engine gives it, folder part included
  std::uint64_t size = 0;
  std::uint64_t packedSize = 0;
  std::int16_t ratio = 0;   // percent saved
  DateTime modified;
  QString attribute;        // the attribute word
  QString type;             // file-type text, "Ordner" for folders
  bool encrypted = false;
  std::int32_t checksum = 0;  // signed, as shown
  QIcon icon;
};

// "#,###": thousands separators of the locale (German when the locale is
// C), no decimals, nothing at all for 0.
QString FormatThousands(std::uint64_t value);

// The attribute word of an entry's attribute bits; isFolder is set when the
// folder rule applied (the type then reads "Ordner").
QString AttributeWord(std::int16_t attributes, bool& isFolder);

// From the first "." of the name to the end; empty when there is none.
QString ExtensionOf(const QString& name);
QString WithTrailingSlash(const QString& path);

// Default value of a class key ("" when unknown); the root stands for the
// classic HKEY_CLASSES_ROOT handle and 0 means no root.
inline constexpr std::intptr_t kClassesRoot = 0x80000000;
QString RegQueryDefault(std::intptr_t root, const QString& subkey);

// The file-type text of a stored name: the description of its extension's
// class, or "EXT Datei" for an extension nobody registered.
QString FileTypeText(const QString& name);

// Type texts and icons per extension, for one listing: an archive of
// 100,000 entries asks the key store and the icon theme once per extension.
class FileTypeCache {
 public:
  const QString& typeText(const QString& extension);
  const QIcon& icon(const QString& extension, bool isFolder);
  // Both for a file (not a folder) of this extension. The last extension
  // asked for is remembered: entries of one kind mostly follow each other,
  // and a million rows then cost no copy of the extension and no lookup.
  void fileKind(QStringView extension, const QString*& type, const QIcon*& icon);

 private:
  std::unordered_map<QString, QString> types_;
  std::unordered_map<QString, QIcon> icons_;
  QIcon folderIcon_;
  QString lastExtension_;
  const QString* lastType_ = nullptr;  // nodes of the maps: they stay where they are
  const QIcon* lastIcon_ = nullptr;
};

// The row for one entry (64-bit sizes as the engine reports them).
EntryRow MakeEntryRow(const EntryInfo& entry, FileTypeCache& types);

}  // namespace kx
