#include "shell/desktop_registration.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <algorithm>
#include <chrono>
#include <map>
#include <optional>

#include "packers/cls_process.h"
#include "shell/file_types.h"
#include "shell/mimeapps_list.h"

namespace kx {
namespace {

constexpr const char* kExtractVerb = "Entpacken nach...";
constexpr const char* kExtractSwitch = "/entpacken";
constexpr const char* kIcon = "package-x-generic";
constexpr const char* kExtractIcon = "archive-extract";
constexpr const char* kRemovedAssociations = "Removed Associations";

// The MIME type of each archive type when the system database has none for
// its extension. The order is the class keys' order.
struct OwnType {
  const char* extension;
  const char* mimeType;
};
constexpr OwnType kOwnTypes[] = {
    {"zip", "application/zip"}, {"001", "application/x-zip-multivolume"}, {"arj", "application/x-arj"},
    {"arc", "application/x-arc"}, {"zoo", "application/x-zoo"},           {"lzh", "application/x-lha"},
};

// What update-mime-database makes beside packages/ (and one file per type).
constexpr const char* kMimeDatabaseFiles[] = {"aliases", "generic-icons", "globs",    "globs2",
                                             "icons",   "magic",         "mime.cache", "subclasses",
                                             "treemagic", "types",       "version",  "XMLnamespaces"};

QStringList PathList(const char* variable, const QString& fallback) {
  const QString value = qEnvironmentVariable(variable);
  return (value.isEmpty() ? fallback : value).split(':', Qt::SkipEmptyParts);
}

// ---- the record of what was written

struct WrittenLine {
  QString file, group, key, item;
  MimeAppsEdit edit;
};

struct Record {
  QStringList files;         // whole files of ours
  QStringList directories;   // made by us, outer ones first
  QStringList sharedFiles;   // mimeapps.list files that did not exist before
  std::vector<WrittenLine> lines;
  bool mimeDatabaseMade = false;   // the user's MIME database did not exist before
  bool desktopCacheMade = false;   // nor the applications' mimeinfo.cache
  bool changed = false;

  bool empty() const { return files.isEmpty() && directories.isEmpty() && lines.empty() && sharedFiles.isEmpty(); }

  static Record Load(const QString& path) {
    Record r;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return r;
    const QJsonObject o = QJsonDocument::fromJson(file.readAll()).object();
    for (const auto& v : o["files"].toArray()) r.files << v.toString();
    for (const auto& v : o["directories"].toArray()) r.directories << v.toString();
    for (const auto& v : o["sharedFiles"].toArray()) r.sharedFiles << v.toString();
    for (const auto& v : o["lines"].toArray()) {
      const QJsonObject l = v.toObject();
      r.lines.push_back({l["file"].toString(), l["group"].toString(), l["key"].toString(), l["item"].toString(),
                         MimeAppsEdit::fromJson(l["edit"].toObject())});
    }
    r.mimeDatabaseMade = o["mimeDatabaseMade"].toBool();
    r.desktopCacheMade = o["desktopCacheMade"].toBool();
    return r;
  }

  bool save(const QString& path) const {
    QJsonArray lineArray;
    for (const auto& l : lines)
      lineArray.append(QJsonObject{{"file", l.file}, {"group", l.group}, {"key", l.key}, {"item", l.item},
                                   {"edit", l.edit.toJson()}});
    const QJsonObject o{{"files", QJsonArray::fromStringList(files)},
                        {"directories", QJsonArray::fromStringList(directories)},
                        {"sharedFiles", QJsonArray::fromStringList(sharedFiles)},
                        {"lines", lineArray},
                        {"mimeDatabaseMade", mimeDatabaseMade},
                        {"desktopCacheMade", desktopCacheMade}};
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(QJsonDocument(o).toJson());
    return file.commit();
  }
};

// ---- files

std::optional<QByteArray> ReadAll(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes, QFile::Permissions permissions = {}) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  if (!file.commit()) return false;
  if (permissions) QFile::setPermissions(path, permissions);
  return true;
}

// Makes the folder and records each level that did not exist.
void EnsureDirectory(const QString& path, Record& record) {
  QStringList missing;
  for (QDir d(path); !d.exists(); d.setPath(QFileInfo(d.absolutePath()).absolutePath())) {
    missing.prepend(d.absolutePath());
    if (d.isRoot()) break;
  }
  for (const QString& level : missing) {
    if (!QDir().mkdir(level)) return;
    record.directories << level;
    record.changed = true;
  }
}

// Writes one file of ours; true when its bytes changed. A file of that name
// that Kravix did not write stays as it is, unless it already reads the same.
bool PublishFile(const QString& path, const QString& content, Record& record, QFile::Permissions permissions = {}) {
  const QByteArray bytes = content.toUtf8();
  const std::optional<QByteArray> present = ReadAll(path);
  const bool ours = record.files.contains(path);
  const auto claim = [&] {
    if (ours) return;
    record.files << path;
    record.changed = true;
  };
  if (present && *present == bytes) {
    claim();
    if (permissions && QFile::permissions(path) != permissions) QFile::setPermissions(path, permissions);
    return false;
  }
  if (present && !ours) return false;
  EnsureDirectory(QFileInfo(path).absolutePath(), record);
  if (!WriteAll(path, bytes, permissions)) return false;
  claim();
  return true;
}

// ---- the refresh tools, run without a shell

void RunTool(const std::vector<std::string>& argv) {
  clsProcess process;
  process.ArgumentVector(argv);
  if (!process.Exec()) return;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!process.IsTerminated())
    if (std::chrono::steady_clock::now() > deadline) process.Kill();
}

void UpdateMimeDatabase(const QString& folder) {
  if (QDir(folder).exists()) RunTool({"update-mime-database", folder.toStdString()});
}
void UpdateDesktopDatabase(const QString& folder) {
  if (QDir(folder).exists()) RunTool({"update-desktop-database", folder.toStdString()});
}

// ---- what the files say

// A key file's string value: the backslash escaped.
QString KeyFileValue(QString s) { return s.replace("\\", "\\\\"); }

QString MimeTypeList(const std::vector<DesktopArchiveType>& types, bool extractOnly) {
  QString list;
  for (const auto& t : types)
    if (!extractOnly || t.extractAction) list += t.mimeType + ";";
  return list;
}

QString DesktopEntryText(const QString& program, const std::vector<DesktopArchiveType>& types) {
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Kravix\n"
         "GenericName=Archivverwaltung\n"
         "Comment=ZIP-, ARJ-, ARC-, LHA- und ZOO-Archive öffnen, entpacken und erstellen\n"
         "Icon=" + QString(kIcon) + "\n"
         "Exec=" + KeyFileValue(DesktopExecArgument(program) + " %f") + "\n"
         "Terminal=false\n"
         "Categories=Qt;Utility;Archiving;Compression;\n"
         "MimeType=" + MimeTypeList(types, false) + "\n";
}

QString MimePackageText(const std::vector<DesktopArchiveType>& types) {
  QString xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  for (const auto& t : types) {
    if (!t.ownType) continue;
    xml += "  <mime-type type=\"" + t.mimeType + "\">\n"
           "    <comment>" + t.description + "</comment>\n"
           "    <generic-icon name=\"" + kIcon + "\"/>\n"
           "    <glob pattern=\"*." + t.extension + "\"/>\n"
           "  </mime-type>\n";
  }
  return xml + "</mime-info>\n";
}

// Dolphin (KIO service menu).
QString ServiceMenuText(const QString& program, const std::vector<DesktopArchiveType>& types) {
  return "[Desktop Entry]\n"
         "Type=Service\n"
         "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
         "MimeType=" + MimeTypeList(types, true) + "\n"
         "Actions=kravixEntpacken;\n"
         "\n"
         "[Desktop Action kravixEntpacken]\n"
         "Name=" + kExtractVerb + "\n"
         "Icon=" + kExtractIcon + "\n"
         "Exec=" + KeyFileValue(DesktopExecArgument(program) + " %f " + kExtractSwitch) + "\n";
}

// Nemo: %F is the selected file's path, quoted by Nemo.
QString NemoActionText(const QString& program, const std::vector<DesktopArchiveType>& types) {
  return "[Nemo Action]\n"
         "Name=" + QString(kExtractVerb) + "\n"
         "Comment=Archiv mit Kravix entpacken\n"
         "Icon-Name=" + kExtractIcon + "\n"
         "Exec=" + KeyFileValue(ShellWord(program) + " %F " + kExtractSwitch) + "\n"
         "Selection=s\n"
         "Mimetypes=" + MimeTypeList(types, true) + "\n";
}

// The file-manager actions that Caja (caja-actions) and PCManFM read.
QString FileManagerActionText(const QString& program, const std::vector<DesktopArchiveType>& types) {
  return "[Desktop Entry]\n"
         "Type=Action\n"
         "Name=" + QString(kExtractVerb) + "\n"
         "Tooltip=Archiv mit Kravix entpacken\n"
         "Icon=" + kExtractIcon + "\n"
         "Profiles=kravix;\n"
         "\n"
         "[X-Action-Profile kravix]\n"
         "MimeTypes=" + MimeTypeList(types, true) + "\n"
         "Exec=" + KeyFileValue(ShellWord(program) + " %f " + kExtractSwitch) + "\n";
}

// Nautilus lists its scripts by file name; it hands the chosen files over
// as the script's arguments, each one word.
QString NautilusScriptText(const QString& program) {
  return "#!/bin/sh\n"
         "# Kravix: \"Entpacken nach...\" for every file chosen in Nautilus.\n"
         "for f in \"$@\"; do\n"
         "  " + ShellWord(program) + " \"$f\" " + kExtractSwitch + "\n"
         "done\n";
}

// ---- mimeapps.list

QStringList MimeAppsFiles(const DesktopPlaces& p) {
  QStringList folders{p.configHome};
  folders << p.configDirs << p.dataHome + "/applications";
  for (const QString& d : p.dataDirs) folders << d + "/applications";
  QStringList files;
  for (const QString& folder : folders) {
    for (const QString& desktop : p.desktops) files << folder + "/" + desktop + "-mimeapps.list";
    files << folder + "/mimeapps.list";
  }
  for (const QString& d : p.dataDirs) files << d + "/applications/defaults.list";
  return files;
}

bool HasDefault(const DesktopPlaces& p, const QString& mimeType) {
  for (const QString& path : MimeAppsFiles(p)) {
    const std::optional<QByteArray> text = ReadAll(path);
    if (!text) continue;
    const auto apps = MimeAppsList(QString::fromUtf8(*text)).values(mimeapps::kDefault, mimeType);
    if (apps && !apps->isEmpty()) return true;
  }
  return false;
}

void PublishAssociations(const DesktopPlaces& p, const std::vector<DesktopArchiveType>& types, Record& record) {
  const QString path = p.configHome + "/mimeapps.list";
  const std::optional<QByteArray> before = ReadAll(path);
  MimeAppsList list(before ? QString::fromUtf8(*before) : QString());
  std::vector<WrittenLine> added;
  for (const auto& t : types) {
    // The user took Kravix off this type's list: leave the type alone.
    if (list.values(kRemovedAssociations, t.mimeType).value_or(QStringList()).contains(kDesktopEntryName)) continue;
    const bool defaultMissing = !HasDefault(p, t.mimeType);
    MimeAppsEdit edit = list.add(mimeapps::kAdded, t.mimeType, kDesktopEntryName);
    if (edit.changed) added.push_back({path, mimeapps::kAdded, t.mimeType, kDesktopEntryName, edit});
    if (!defaultMissing) continue;
    edit = list.add(mimeapps::kDefault, t.mimeType, kDesktopEntryName);
    if (edit.changed) added.push_back({path, mimeapps::kDefault, t.mimeType, kDesktopEntryName, edit});
  }
  if (added.empty()) return;
  EnsureDirectory(p.configHome, record);
  if (!WriteAll(path, list.text().toUtf8())) return;
  if (!before && !record.sharedFiles.contains(path)) record.sharedFiles << path;
  record.lines.insert(record.lines.end(), added.begin(), added.end());
  record.changed = true;
}

void WithdrawAssociations(const Record& record) {
  QStringList files;
  for (const auto& l : record.lines)
    if (!files.contains(l.file)) files << l.file;
  for (const QString& path : files) {
    const std::optional<QByteArray> text = ReadAll(path);
    if (!text) continue;
    MimeAppsList list(QString::fromUtf8(*text));
    for (auto it = record.lines.rbegin(); it != record.lines.rend(); ++it)
      if (it->file == path) list.remove(it->group, it->key, it->item, it->edit);
    if (record.sharedFiles.contains(path) && list.isBlank()) QFile::remove(path);
    else if (list.text().toUtf8() != *text) WriteAll(path, list.text().toUtf8());
  }
  for (const QString& path : record.sharedFiles)
    if (!files.contains(path) && ReadAll(path).value_or("x").trimmed().isEmpty()) QFile::remove(path);
}

// ---- the places of the files

struct Places {
  QString desktopEntry, mimePackage, serviceMenu, nemoAction, fileManagerAction, nautilusScript;
  explicit Places(const DesktopPlaces& p)
      : desktopEntry(p.dataHome + "/applications/" + kDesktopEntryName),
        mimePackage(p.dataHome + "/mime/packages/kravix.xml"),
        serviceMenu(p.dataHome + "/kio/servicemenus/kravix-entpacken.desktop"),
        nemoAction(p.dataHome + "/nemo/actions/kravix-entpacken.nemo_action"),
        fileManagerAction(p.dataHome + "/file-manager/actions/kravix-entpacken.desktop"),
        nautilusScript(p.dataHome + "/nautilus/scripts/" + kExtractVerb) {}
};

constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;

// A desktop file other than ours that names MIME types keeps the cache alive.
bool OtherEntriesWithTypes(const QString& folder) {
  QDirIterator it(folder, {"*.desktop"}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (ReadAll(path).value_or(QByteArray()).contains("\nMimeType=")) return true;
  }
  return false;
}

void WithdrawMimeDatabase(const DesktopPlaces& p, const Record& record, const std::vector<DesktopArchiveType>& types) {
  const QString mime = p.dataHome + "/mime";
  const bool othersLeft = !QDir(mime + "/packages").entryList({"*.xml"}, QDir::Files).isEmpty();
  const bool rebuild = !record.mimeDatabaseMade || othersLeft;
  if (rebuild) UpdateMimeDatabase(mime);
  else
    for (const char* name : kMimeDatabaseFiles) QFile::remove(mime + "/" + name);
  // The tool leaves a media folder it no longer needs behind, empty.
  for (const auto& t : types) {
    if (!t.ownType) continue;
    if (!rebuild) QFile::remove(mime + "/" + t.mimeType + ".xml");
    QDir().rmdir(mime + "/" + t.mimeType.section('/', 0, 0));
  }
}

}  // namespace

DesktopPlaces DesktopPlaces::OfThisUser() {
  DesktopPlaces p;
  const QString home = QDir::homePath();
  p.dataHome = qEnvironmentVariable("XDG_DATA_HOME", home + "/.local/share");
  p.configHome = qEnvironmentVariable("XDG_CONFIG_HOME", home + "/.config");
  if (p.dataHome.isEmpty()) p.dataHome = home + "/.local/share";
  if (p.configHome.isEmpty()) p.configHome = home + "/.config";
  p.dataDirs = PathList("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  p.configDirs = PathList("XDG_CONFIG_DIRS", "/etc/xdg");
  for (const QString& d : qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(':', Qt::SkipEmptyParts))
    p.desktops << d.toLower();
  return p;
}

std::vector<DesktopArchiveType> DesktopArchiveTypes(const DesktopPlaces& places) {
  // The system's globs only: the user's own database may hold Kravix's types.
  std::map<QString, QString> systemGlobs;  // "*.arj" -> "application/x-arj", first folder wins
  for (const QString& dir : places.dataDirs) {
    if (QDir(dir).absolutePath() == QDir(places.dataHome).absolutePath()) continue;
    const std::optional<QByteArray> globs = ReadAll(dir + "/mime/globs2");
    if (!globs) continue;
    for (const QByteArray& line : globs->split('\n')) {
      const QList<QByteArray> f = line.split(':');  // weight:type:pattern[:flags]
      if (f.size() >= 3 && !line.startsWith('#')) systemGlobs.try_emplace(QString::fromUtf8(f[2]).toLower(), f[1]);
    }
  }
  std::vector<DesktopArchiveType> types;
  for (std::size_t i = 0; i < std::size(kOwnTypes); ++i) {
    DesktopArchiveType t;
    t.extension = kOwnTypes[i].extension;
    t.description = kArchiveFileTypes[i].description;
    t.extractAction = i < 2;  // the ZIP types, as the class keys have it
    const auto system = systemGlobs.find("*." + t.extension);
    t.ownType = system == systemGlobs.end();
    t.mimeType = t.ownType ? QString(kOwnTypes[i].mimeType) : system->second;
    types.push_back(t);
  }
  return types;
}

void PublishDesktopRegistration(const QString& program, const DesktopPlaces& p) {
  Record record = Record::Load(p.recordPath());
  const std::vector<DesktopArchiveType> types = DesktopArchiveTypes(p);
  const Places at(p);

  const bool freshEntry = !QFile::exists(at.desktopEntry);
  if (freshEntry && !QFile::exists(p.dataHome + "/applications/mimeinfo.cache")) record.desktopCacheMade = true;
  const bool entryChanged = PublishFile(at.desktopEntry, DesktopEntryText(program, types), record);

  bool packageChanged = false;
  if (std::any_of(types.begin(), types.end(), [](const auto& t) { return t.ownType; })) {
    if (!QFile::exists(at.mimePackage) && !QFile::exists(p.dataHome + "/mime/mime.cache"))
      record.mimeDatabaseMade = true;
    packageChanged = PublishFile(at.mimePackage, MimePackageText(types), record);
  }
  PublishFile(at.serviceMenu, ServiceMenuText(program, types), record, kExecutable);
  PublishFile(at.nemoAction, NemoActionText(program, types), record);
  PublishFile(at.fileManagerAction, FileManagerActionText(program, types), record);
  PublishFile(at.nautilusScript, NautilusScriptText(program), record, kExecutable);
  PublishAssociations(p, types, record);

  if (packageChanged) UpdateMimeDatabase(p.dataHome + "/mime");
  if (entryChanged) UpdateDesktopDatabase(p.dataHome + "/applications");
  if (!record.changed) return;
  EnsureDirectory(QFileInfo(p.recordPath()).absolutePath(), record);
  record.save(p.recordPath());
}

void WithdrawDesktopRegistration(const DesktopPlaces& p) {
  const Record record = Record::Load(p.recordPath());
  const Places at(p);
  WithdrawAssociations(record);
  for (const QString& path : record.files) QFile::remove(path);
  if (record.files.contains(at.mimePackage)) WithdrawMimeDatabase(p, record, DesktopArchiveTypes(p));
  if (record.files.contains(at.desktopEntry)) {
    const QString apps = p.dataHome + "/applications";
    if (record.desktopCacheMade && !OtherEntriesWithTypes(apps)) QFile::remove(apps + "/mimeinfo.cache");
    else UpdateDesktopDatabase(apps);
  }
  QFile::remove(p.recordPath());
  for (auto it = record.directories.crbegin(); it != record.directories.crend(); ++it) QDir().rmdir(*it);
}

QString DesktopExecArgument(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  QString out = argument;
  out.replace("%", "%%");
  if (std::none_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); })) return out;
  QString quoted = "\"";
  for (QChar c : out) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

QString ShellWord(const QString& word) {
  static const QString plain = QStringLiteral("/._-+,:=@");
  if (!word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) {
        return (c.unicode() < 128 && c.isLetterOrNumber()) || plain.contains(c);
      }))
    return word;
  QString out = word;
  return "'" + out.replace("'", "'\\''") + "'";
}

}  // namespace kx
