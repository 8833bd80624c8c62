#include "archive_window/open_with_dialog.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <map>

#include "app/base/run_error.h"
#include "platform/user_seam.h"
#include "shell/desktop_registration.h"
#include "shell/mimeapps_list.h"

namespace kx {
namespace {

constexpr const char* kOctetStream = "application/octet-stream";

// The key file's own escapes of a value (\s \n \t \r \\).
QString UnescapeValue(const QString& value) {
  QString out;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    const QChar c = value[++i];
    out += c == 's' ? QChar(' ') : c == 'n' ? QChar('\n') : c == 't' ? QChar('\t') : c == 'r' ? QChar('\r') : c;
  }
  return out;
}

// The keys of the [Desktop Entry] group.
std::map<QString, QString> DesktopEntryKeys(const QString& file) {
  std::map<QString, QString> keys;
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return keys;
  bool inEntry = false;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    if (line.startsWith('[')) {
      inEntry = line == "[Desktop Entry]";
      continue;
    }
    const qsizetype eq = line.indexOf('=');
    if (!inEntry || line.startsWith('#') || eq <= 0) continue;
    keys.try_emplace(line.left(eq).trimmed(), UnescapeValue(line.mid(eq + 1).trimmed()));
  }
  return keys;
}

QStringList ApplicationFolders(const DesktopPlaces& places) {
  QStringList folders{places.dataHome + "/applications"};
  for (const QString& d : places.dataDirs) folders << d + "/applications";
  return folders;
}

// Every mimeapps.list and defaults.list in the order the desktop reads them.
QStringList MimeAppsFiles(const DesktopPlaces& places) {
  QStringList files{places.configHome + "/mimeapps.list"};
  for (const QString& d : places.configDirs) files << d + "/mimeapps.list";
  for (const QString& folder : ApplicationFolders(places)) files << folder + "/mimeapps.list" << folder + "/defaults.list";
  return files;
}

// The text of a field code for the file; nullopt for the codes that are
// dropped.
std::optional<QString> FieldCode(QChar code, const QString& path) {
  switch (code.unicode()) {
    case 'f': case 'F': return path;
    case 'u': case 'U': return QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded());
    case '%': return QString("%");
    default: return std::nullopt;
  }
}

}  // namespace

std::vector<DesktopApplication> DesktopApplications(const DesktopPlaces& places) {
  std::map<QString, DesktopApplication> byId;
  for (const QString& folder : ApplicationFolders(places)) {
    QDirIterator it(folder, {"*.desktop"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      const QString id = QDir(folder).relativeFilePath(file).replace('/', '-');
      if (byId.count(id)) continue;  // an earlier folder has it
      auto keys = DesktopEntryKeys(file);
      DesktopApplication app;
      app.id = id;
      // A hidden entry still hides the same id further down the path.
      if (keys["Hidden"] == "true" || keys["Type"] != "Application" || keys["Exec"].isEmpty()) {
        byId[id] = app;
        continue;
      }
      app.name = keys["Name[de]"].isEmpty() ? keys["Name"] : keys["Name[de]"];
      app.exec = keys["Exec"];
      app.mimeTypes = keys["MimeType"].split(';', Qt::SkipEmptyParts);
      app.shown = keys["NoDisplay"] != "true";
      byId[id] = app;
    }
  }
  std::vector<DesktopApplication> apps;
  for (auto& [id, app] : byId)
    if (!app.exec.isEmpty()) apps.push_back(app);
  std::sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) {
    return QString::localeAwareCompare(a.name, b.name) < 0;
  });
  return apps;
}

QStringList MimeTypesOfFile(const QString& path) {
  const QMimeType type = QMimeDatabase().mimeTypeForFile(path);
  QStringList types{type.name()};
  for (const QString& t : type.allAncestors())
    if (t != kOctetStream && !types.contains(t)) types << t;
  return types;
}

bool HasAssociatedProgram(const QString& path, const DesktopPlaces& places) {
  const QStringList types = MimeTypesOfFile(path);
  const auto apps = DesktopApplications(places);
  for (const auto& app : apps)
    for (const QString& t : types)
      if (app.mimeTypes.contains(t)) return true;
  for (const QString& file : MimeAppsFiles(places)) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) continue;
    const MimeAppsList list(QString::fromUtf8(f.readAll()));
    for (const char* group : {mimeapps::kDefault, mimeapps::kAdded})
      for (const QString& t : types)
        for (const QString& id : list.values(group, t).value_or(QStringList{}))
          if (std::any_of(apps.begin(), apps.end(), [&](const auto& a) { return a.id == id; })) return true;
  }
  return false;
}

QStringList ExecArguments(const QString& exec, const QString& path) {
  QStringList words;
  QString word;
  bool inWord = false, quoted = false, fileGiven = false;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    const QChar c = exec[i];
    if (quoted) {
      if (c == '"') quoted = false;
      else if (c == '\\' && i + 1 < exec.size()) word += exec[++i];
      else word += c;
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t') {
      if (inWord) words << word;
      word.clear();
      inWord = false;
    } else if (c == '%' && i + 1 < exec.size()) {
      const QChar code = exec[++i];
      // A dropped code alone leaves no word behind.
      if (const auto text = FieldCode(code, path)) {
        word += *text;
        inWord = true;
      }
      fileGiven = fileGiven || QString("fFuU").contains(code);
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words << word;
  if (!fileGiven) words << path;
  return words;
}

void OpenWithProgram(const QString& exec, const QString& path) {
  QStringList words = ExecArguments(exec, path);
  const QString named = words.takeFirst();
  const QString program = named.contains('/') ? named : QStandardPaths::findExecutable(named);
  if (program.isEmpty() || !QFileInfo(program).isExecutable() || QFileInfo(program).isDir()) Raise(err::FileNotFound);
  if (!Seam().startProgram(program, words)) Raise(err::PermissionDenied);
}

FrmOeffnenMit::FrmOeffnenMit(const QString& path, const std::vector<DesktopApplication>& applications,
                             QWidget* parent)
    : QDialog(parent) {
  setObjectName("frmOeffnenMit");
  setWindowTitle("Öffnen mit...");
  Label1 = new QLabel("Wählen Sie das Programm, mit dem die Datei \"" + QFileInfo(path).fileName() +
                          "\" geöffnet werden soll:",
                      this);
  Label1->setObjectName("Label1");
  Label1->setWordWrap(true);
  List1 = new QListWidget(this);
  List1->setObjectName("List1");
  // The programs for the file's type first, then every other one shown in menus.
  const QStringList types = MimeTypesOfFile(path);
  for (const bool forType : {true, false}) {
    for (const auto& app : applications) {
      const bool fits = std::any_of(types.begin(), types.end(), [&](const QString& t) { return app.mimeTypes.contains(t); });
      if (fits != forType || (!fits && !app.shown)) continue;
      auto* item = new QListWidgetItem(app.name, List1);
      item->setData(Qt::UserRole, app.exec);
      item->setToolTip(app.exec);
    }
  }
  auto* programLabel = new QLabel("&Programm:", this);
  Text1 = new QLineEdit(this);
  Text1->setObjectName("Text1");
  programLabel->setBuddy(Text1);
  CommandDurchsuchen = new QPushButton("&Durchsuchen...", this);
  CommandDurchsuchen->setObjectName("CommandDurchsuchen");
  CommandOeffnen = new QPushButton("&Öffnen", this);
  CommandOeffnen->setObjectName("CommandOeffnen");
  CommandOeffnen->setDefault(true);
  CommandAbbrechen = new QPushButton("&Abbrechen", this);
  CommandAbbrechen->setObjectName("CommandAbbrechen");

  connect(List1, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    if (item) Text1->setText(item->data(Qt::UserRole).toString());
  });
  connect(List1, &QListWidget::itemDoubleClicked, CommandOeffnen, &QPushButton::click);
  connect(CommandDurchsuchen, &QPushButton::clicked, this, [this] {
    const QString program = Seam().chooseOpenFile(this, "Programm auswählen", "Alle Dateien (*.*)|*.*", "/usr/bin");
    // Quoted, so that a program path with blanks stays one word.
    if (!program.isEmpty()) Text1->setText('"' + QString(program).replace('\\', "\\\\").replace('"', "\\\"").replace('%', "%%") + '"');
  });
  connect(CommandOeffnen, &QPushButton::clicked, this, [this] {
    chosen_ = Text1->text().trimmed();
    accept();
  });
  connect(CommandAbbrechen, &QPushButton::clicked, this, [this] {
    chosen_.clear();
    reject();
  });

  auto* layout = new QGridLayout(this);
  layout->addWidget(Label1, 0, 0, 1, 2);
  layout->addWidget(List1, 1, 0, 1, 2);
  layout->addWidget(programLabel, 2, 0, 1, 2);
  layout->addWidget(Text1, 3, 0);
  layout->addWidget(CommandDurchsuchen, 3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(CommandOeffnen);
  buttons->addWidget(CommandAbbrechen);
  layout->addLayout(buttons, 4, 0, 1, 2);
  resize(440, 380);
}

}  // namespace kx
