#include "shell/mimeapps_list.h"

namespace kx {
namespace {

bool IsHeader(const QString& line) { return line.trimmed().startsWith('['); }

// "key = value" gives key; lines without "=" (comments, blanks) give nothing.
QString KeyOf(const QString& line) {
  const qsizetype eq = line.indexOf('=');
  if (eq <= 0 || line.trimmed().startsWith('#')) return {};
  return line.left(eq).trimmed();
}

QStringList ItemsOf(const QString& line) {
  return line.mid(line.indexOf('=') + 1).trimmed().split(';', Qt::SkipEmptyParts);
}

QString LineOf(const QString& key, const QStringList& items) {
  return key + "=" + items.join(';') + (items.isEmpty() ? "" : ";");
}

}  // namespace

QJsonObject MimeAppsEdit::toJson() const {
  return {{"createdLine", createdLine}, {"createdGroup", createdGroup}, {"separator", separator},
          {"originalLine", originalLine}, {"newLine", newLine}};
}

MimeAppsEdit MimeAppsEdit::fromJson(const QJsonObject& o) {
  MimeAppsEdit e;
  e.changed = true;
  e.createdLine = o["createdLine"].toBool();
  e.createdGroup = o["createdGroup"].toBool();
  e.separator = o["separator"].toBool();
  e.originalLine = o["originalLine"].toString();
  e.newLine = o["newLine"].toString();
  return e;
}

MimeAppsList::MimeAppsList(const QString& text) : lines_(text.split('\n')) {}

int MimeAppsList::findGroup(const QString& group) const {
  const QString header = "[" + group + "]";
  for (int i = 0; i < lines_.size(); ++i)
    if (lines_[i].trimmed() == header) return i;
  return -1;
}

int MimeAppsList::groupEnd(int header) const {
  int i = header + 1;
  while (i < lines_.size() && !IsHeader(lines_[i])) ++i;
  return i;
}

int MimeAppsList::findKey(const QString& group, const QString& key) const {
  const int header = findGroup(group);
  if (header < 0) return -1;
  for (int i = header + 1; i < groupEnd(header); ++i)
    if (KeyOf(lines_[i]) == key) return i;
  return -1;
}

std::optional<QStringList> MimeAppsList::values(const QString& group, const QString& key) const {
  const int at = findKey(group, key);
  if (at < 0) return std::nullopt;
  return ItemsOf(lines_[at]);
}

MimeAppsEdit MimeAppsList::add(const QString& group, const QString& key, const QString& item) {
  MimeAppsEdit edit;
  if (const int at = findKey(group, key); at >= 0) {
    QStringList items = ItemsOf(lines_[at]);
    if (items.contains(item)) return edit;
    edit.changed = true;
    edit.originalLine = lines_[at];
    items << item;
    lines_[at] = edit.newLine = LineOf(key, items);
    return edit;
  }
  edit.changed = edit.createdLine = true;
  edit.newLine = LineOf(key, {item});
  int header = findGroup(group);
  if (header < 0) {
    // The new group goes last, before the final newline's empty element.
    int end = lines_.size();
    if (end > 0 && lines_.last().isEmpty()) --end;
    if (end > 0 && !lines_[end - 1].trimmed().isEmpty()) {
      lines_.insert(end++, QString());
      edit.separator = true;
    }
    lines_.insert(end, "[" + group + "]");
    header = end;
    edit.createdGroup = true;
  }
  // After the group's last non-blank line, so blank lines stay between groups.
  int at = groupEnd(header);
  while (at > header + 1 && lines_[at - 1].trimmed().isEmpty()) --at;
  lines_.insert(at, edit.newLine);
  return edit;
}

void MimeAppsList::remove(const QString& group, const QString& key, const QString& item,
                          const MimeAppsEdit& edit) {
  if (const int at = findKey(group, key); at >= 0) {
    if (lines_[at] == edit.newLine && !edit.createdLine) {
      lines_[at] = edit.originalLine;
    } else {
      QStringList items = ItemsOf(lines_[at]);
      items.removeAll(item);
      if (lines_[at] == edit.newLine || (edit.createdLine && items.isEmpty())) lines_.removeAt(at);
      else if (items != ItemsOf(lines_[at])) lines_[at] = LineOf(key, items);
    }
  }
  if (!edit.createdGroup) return;
  const int header = findGroup(group);
  if (header < 0) return;
  for (int i = header + 1; i < groupEnd(header); ++i)
    if (!lines_[i].trimmed().isEmpty()) return;
  lines_.removeAt(header);
  if (edit.separator && header > 0 && lines_[header - 1].isEmpty()) lines_.removeAt(header - 1);
}

bool MimeAppsList::isBlank() const { return text().trimmed().isEmpty(); }

}  // namespace kx
