#pragma once
// Line-true editing of a freedesktop mimeapps.list (or defaults.list): groups
// such as "[Added Associations]" with lines "type=one.desktop;two.desktop;".
// Every line the editor does not touch keeps its bytes, so an addition taken
// back with remove() gives the text as it was. Pure text work, no files;
// any thread.
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace kx {

namespace mimeapps {
inline constexpr const char* kAdded = "Added Associations";
inline constexpr const char* kDefault = "Default Applications";
}  // namespace mimeapps

// What add() did, kept so that exactly this can be taken back later.
struct MimeAppsEdit {
  bool changed = false;       // false: the item was there already
  bool createdLine = false;   // the key's line is new
  bool createdGroup = false;  // the group header is new
  bool separator = false;     // a blank line was put before the new header
  QString originalLine;       // the key's line before (when not created)
  QString newLine;            // the key's line as written

  QJsonObject toJson() const;
  static MimeAppsEdit fromJson(const QJsonObject& o);
};

class MimeAppsList {
 public:
  explicit MimeAppsList(const QString& text);
  QString text() const { return lines_.join('\n'); }

  // The items of key in group (empty entries dropped); none without the line.
  std::optional<QStringList> values(const QString& group, const QString& key) const;
  // Puts item into key's list in group, making the line and the group when
  // missing; an item already listed changes nothing.
  MimeAppsEdit add(const QString& group, const QString& key, const QString& item);
  // Takes back what add() recorded: the line as it was when it still reads as
  // written, else only the item; then the line and the group it made, when
  // nothing else stands in them.
  void remove(const QString& group, const QString& key, const QString& item, const MimeAppsEdit& edit);
  // True when the text holds nothing but blanks.
  bool isBlank() const;

 private:
  // Index of the group's header line, -1 when missing.
  int findGroup(const QString& group) const;
  // One past the group's last line (the next header or the end).
  int groupEnd(int header) const;
  int findKey(const QString& group, const QString& key) const;

  QStringList lines_;  // split at '\n': a final newline leaves a last empty element
};

}  // namespace kx
