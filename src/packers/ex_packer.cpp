#include "packers/ex_packer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/program_state.h"
#include "app/utility.h"
#include "engine/cancel.h"
#include "engine/io/cp437.h"
#include "engine/io/replace_file.h"
#include "engine/io/safe_paths.h"
#include "engine/kxzip.h"
#include "packers/cls_process.h"
#include "packers/packer_dialect.h"
#include "platform/user_seam.h"
#include "settings/settings_store.h"
#include "ui/message_dialog.h"
#include "ui/progress_window.h"

namespace kx {

namespace fs = std::filesystem;
using packer::Operation;

namespace {

constexpr const char* kTitle = "Nachicht";
// Far more than any packer prints for a real archive: a child that writes
// this much is looping.
constexpr std::uint64_t kRunawayOutput = 64ull * 1024 * 1024;
constexpr int kOutputLinesShown = 8;
constexpr long kMinNewer = 2;  // seconds; DOS times have two-second steps

std::string Bytes(const QString& s) { return s.toStdString(); }
QString Text(const std::string& s) { return QString::fromStdString(s); }

// The last lines the packer printed, for a message.
QString LastLines(const std::string& output) {
  QString text = QString::fromUtf8(output.data(), static_cast<qsizetype>(output.size()));
  text.replace('\r', '\n');
  QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  for (auto& l : lines) l = l.trimmed().left(200);
  lines.removeAll(QString());
  if (lines.size() > kOutputLinesShown) lines = lines.mid(lines.size() - kOutputLinesShown);
  return lines.join('\n');
}

void Tell(const QString& text) { ShowMessage(text, kTitle, symbol::Error); }

// A fresh folder "<in>/.kravix-XXXXXX"; empty when it cannot be made.
std::string MakeWorkFolder(const std::string& in) {
  std::string pattern = in + "/.kravix-XXXXXX";
  if (!::mkdtemp(pattern.data())) return {};
  return pattern;
}

struct WorkFolder {
  std::string path;
  ~WorkFolder() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
  }
};

// The dialect of a packer path; a link such as Debian's lha names the
// program it stands for.
packer::Program DialectOf(const QString& path) {
  const QString real = QFileInfo(path).canonicalFilePath();
  const packer::Program byLink = packer::ProgramOf(Bytes(QFileInfo(real).fileName()));
  if (!real.isEmpty() && byLink != packer::Program::Other) return byLink;
  return packer::ProgramOf(Bytes(QFileInfo(path).fileName()));
}

// The names of the archive's entries as the engine lists them; false when
// it cannot list the archive.
bool ListArchive(const std::string& archive, std::multiset<std::string>& names) {
  KxZip zip;
  zip.ZipFile = archive;
  zip.SetAction(action::ReadDirectory);
  if (zip.LastResult() != 0) return false;
  names.clear();
  for (const auto& e : zip.Directory().entries) names.insert(e.name);
  return true;
}

bool Ok(const packer::Invocation& inv, const PackerRun& run) {
  return run.started && !run.cancelled && !run.kept_asking &&
         std::find(inv.okExitCodes.begin(), inv.okExitCodes.end(), run.exitStatus) != inv.okExitCodes.end();
}

// Tells why a run did not succeed; nothing for a cancel (the user knows).
void TellFailure(const QString& program, const PackerRun& run) {
  if (run.cancelled) return;
  if (!run.started) {
    Tell("Das Programm " + program + " konnte nicht gestartet werden: " + Text(std::strerror(run.startError)));
    return;
  }
  QString text = run.kept_asking
                     ? "Das Programm " + program + " hat eine Rückfrage gestellt, die Kravix nicht beantworten kann, und wurde beendet."
                     : "Das Programm " + program + " meldet einen Fehler (Rückgabewert " +
                           QString::number(run.exitStatus) + ").";
  text += " Das Archiv wurde nicht verändert.";
  const QString last = LastLines(run.output);
  if (!last.isEmpty()) text += "\n\nLetzte Ausgabe:\n" + last;
  Tell(text);
}

bool WriteListFile(const std::string& path, const std::vector<std::string>& lines) {
  std::ofstream out(path, std::ios::binary);
  for (const auto& l : lines) out << l << "\n";
  return static_cast<bool>(out.flush());
}

PackerRun RunInvocation(const QString& program, const packer::Invocation& inv, const std::string& folder,
                        const std::string& listFilePath) {
  if (!inv.listFile.empty() && !WriteListFile(listFilePath, inv.listFile)) {
    PackerRun failed;
    failed.startError = EIO;
    return failed;
  }
  std::vector<std::string> argv{Bytes(program)};
  argv.insert(argv.end(), inv.arguments.begin(), inv.arguments.end());
  return StartExPacker(argv, folder, inv.questionMarks);
}

// --- extraction: from the packer's folder into the target -------------

enum class Move { Done, Kept, Cancelled, Failed };

// Whether the file extracted at `from` replaces what lies at leaf in
// parentFd, by ExtractMode and OverwriteMode (asking when it says so).
Move Decide(int parentFd, const std::string& leaf, const struct stat& from, const QString& shown, bool& replace) {
  const WorkingOptions& o = ProgramState().Options;
  replace = false;
  struct stat st {};
  if (::fstatat(parentFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    replace = o.ExtractMode != OptionCode(ExtractChoice::Freshen);
    return Move::Done;
  }
  if (S_ISDIR(st.st_mode)) return Move::Kept;  // never a folder replaced by a file
  const bool diskOlder = from.st_mtime - st.st_mtime >= kMinNewer;
  if (o.ExtractMode != OptionCode(ExtractChoice::All) && !diskOlder) return Move::Kept;
  switch (static_cast<Overwrite>(o.OverwriteMode)) {
    case Overwrite::Always: replace = true; return Move::Done;
    case Overwrite::Never: return Move::Kept;
    default: break;
  }
  const int answer = Seam().messageBox("Die Datei \"" + shown + "\" existiert bereits. Überschreiben?", "Kravix",
                                       BoxButtons::YesNoCancel, BoxIcon::Information);
  if (answer == box::Cancel) return Move::Cancelled;
  replace = answer == box::Yes;
  return Move::Done;
}

// Moves every regular file below `from` into the target folder. Symbolic
// links the packer made are left behind: none may lead out of the target.
Move MoveIntoTarget(const std::string& from, const std::string& target) {
  int err = 0;
  DirFd targetFd = OpenTargetFolder(target, true, err);
  if (!targetFd.ok()) return Move::Failed;
  const bool folders = ProgramState().Options.RestoreFolders;
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::recursive_directory_iterator it(from, fs::directory_options::none, ec), end; !ec && it != end;
       it.increment(ec)) {
    if (it->is_regular_file(ec) && !it->is_symlink(ec)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  Move result = Move::Done;
  for (const fs::path& file : files) {
    const std::string rel = folders ? fs::relative(file, from, ec).generic_string() : file.filename().string();
    const CleanName clean = CleanEntryName(rel, rel);
    if (!clean.usable()) continue;
    std::vector<std::string_view> parts = PathComponents(clean.path);
    const std::string leaf(parts.back());
    parts.pop_back();
    DirFd parent = OpenFolderBelow(targetFd.get(), parts, true, err);
    if (!parent.ok()) {
      result = Move::Failed;
      continue;
    }
    struct stat st {};
    if (::lstat(file.c_str(), &st) != 0) continue;
    bool replace = false;
    const Move decided = Decide(parent.get(), leaf, st, Text(target + "/" + clean.path), replace);
    if (decided == Move::Cancelled) return Move::Cancelled;
    if (!replace) continue;
    if (::renameat(AT_FDCWD, file.c_str(), parent.get(), leaf.c_str()) != 0) result = Move::Failed;
  }
  return result;
}

bool Extract(const QString& program, packer::Program dialect, ArchiveKind kind, const std::string& archive,
             const std::vector<std::string>& names) {
  const std::string target = Bytes(ProgramState().TargetFolder);
  int err = 0;
  if (!OpenTargetFolder(target, true, err).ok()) {
    Tell("Der Zielordner " + Text(target) + " kann nicht angelegt werden: " + Text(std::strerror(err)));
    return false;
  }
  WorkFolder work{MakeWorkFolder(target)};
  if (work.path.empty() || ::mkdir((work.path + "/x").c_str(), 0700) != 0) {
    Tell("Im Zielordner " + Text(target) + " kann nicht geschrieben werden.");
    return false;
  }
  const std::string list = work.path + "/names.lst";
  const auto inv = packer::BuildInvocation(dialect, kind, Operation::Extract, archive, names, list);
  if (!inv.possible) {
    Tell(inv.refusal);
    return false;
  }
  const PackerRun run = RunInvocation(program, inv, work.path + "/x", list);
  if (!Ok(inv, run)) {
    TellFailure(program, run);
    return false;
  }
  const Move moved = MoveIntoTarget(work.path + "/x", target);
  if (moved == Move::Failed) Tell("Nicht alle entpackten Dateien konnten in den Zielordner " + Text(target) + " geschrieben werden.");
  return moved == Move::Done;
}

// --- deleting and adding: on a copy beside the archive ------------------

// A dropped path as the packer gets it: the folder it runs in and the
// names below that folder (a folder's files one by one, so no packer has
// to recurse and re-match names in every subfolder).
struct AddGroup {
  std::string folder;
  std::vector<std::string> names;
};

std::vector<AddGroup> GroupForAdding(const std::vector<std::string>& paths) {
  std::vector<AddGroup> groups;
  for (const std::string& p : paths) {
    const fs::path path = fs::absolute(fs::path(p)).lexically_normal();
    const fs::path parent = path.parent_path();
    const std::string base = path.filename().string();
    if (base.empty()) continue;
    auto it = std::find_if(groups.begin(), groups.end(), [&](const AddGroup& g) { return g.folder == parent.string(); });
    if (it == groups.end()) it = groups.insert(groups.end(), AddGroup{parent.string(), {}});
    std::error_code ec;
    if (fs::is_directory(fs::symlink_status(path, ec))) {
      std::vector<std::string> inside;
      for (fs::recursive_directory_iterator d(path, ec), end; !ec && d != end; d.increment(ec))
        if (d->is_regular_file(ec) && !d->is_symlink(ec)) inside.push_back(base + "/" + fs::relative(d->path(), path, ec).generic_string());
      std::sort(inside.begin(), inside.end());
      it->names.insert(it->names.end(), inside.begin(), inside.end());
    } else {
      it->names.push_back(base);
    }
  }
  return groups;
}

bool Change(const QString& program, packer::Program dialect, ArchiveKind kind, Operation op, const std::string& archivePath,
            const std::vector<std::string>& names) {
  const std::string archive = ResolveArchivePath(archivePath);
  std::multiset<std::string> before;
  if (!ListArchive(archive, before)) {
    Tell("Das Archiv " + Text(archive) + " kann nicht gelesen werden.");
    return false;
  }
  // What the listing must show afterwards, in the listing's spelling.
  std::multiset<std::string> expected = before;
  std::vector<std::string> wanted;  // names that must be there after adding
  std::vector<AddGroup> groups;
  if (op == Operation::Delete) {
    for (const auto& n : names) expected.erase(n);
    groups.push_back({{}, {}});
    for (const auto& n : names)
      groups.back().names.push_back(packer::TakesListedNames(dialect) ? n : packer::ListedNameToStored(n));
  } else {
    groups = GroupForAdding(names);
    for (const auto& g : groups)
      for (const auto& n : g.names) {
        // ARC keeps no folders; kxpack stores names so that they list as given.
        const std::string stored = kind == ArchiveKind::Arc ? n.substr(n.rfind('/') + 1) : n;
        const std::string listed = packer::TakesListedNames(dialect) ? stored : Cp437ToUtf8(stored);
        wanted.push_back(listed);
      }
  }
  const fs::path archiveFs(archive);
  WorkFolder work{MakeWorkFolder(archiveFs.parent_path().string())};
  const std::string copy = work.path + "/" + archiveFs.filename().string();
  std::error_code ec;
  if (work.path.empty() || !fs::copy_file(archive, copy, ec)) {
    Tell("Neben dem Archiv " + Text(archive) + " kann keine Arbeitskopie angelegt werden.");
    return false;
  }
  const std::string list = work.path + "/names.lst";
  for (AddGroup& g : groups) {
    const auto inv = packer::BuildInvocation(dialect, kind, op, copy, g.names, list);
    if (!inv.possible) {
      Tell(inv.refusal);
      return false;
    }
    const PackerRun run = RunInvocation(program, inv, g.folder.empty() ? work.path : g.folder, list);
    if (!Ok(inv, run)) {
      TellFailure(program, run);
      return false;
    }
  }
  // arj deletes an archive whose last entry it deleted.
  const bool gone = !fs::exists(copy, ec);
  std::multiset<std::string> after;
  if (!gone && !ListArchive(copy, after)) {
    Tell("Das Programm " + program + " hat ein unlesbares Archiv hinterlassen. Das Archiv wurde nicht verändert.");
    return false;
  }
  QStringList wrong;
  if (op == Operation::Delete) {
    for (const auto& n : after)
      if (!expected.count(n)) wrong << Text(n);
    for (const auto& n : expected)
      if (!after.count(n)) wrong << Text(n);
  } else {
    for (const auto& n : before)
      if (!after.count(n)) wrong << Text(n);
    for (const auto& n : wanted)
      if (!after.count(n)) wrong << Text(n);
  }
  if (!wrong.isEmpty() || (gone && !expected.empty()) || (gone && op == Operation::Add)) {
    Tell("Das Programm " + program + " hat das Archiv nicht wie verlangt geändert. Das Archiv wurde nicht verändert.\n\n" +
         "Abweichende Einträge:\n" + wrong.mid(0, kOutputLinesShown).join('\n'));
    return false;
  }
  if (gone) return fs::remove(archive, ec) || !ec;
  if (::rename(copy.c_str(), archive.c_str()) != 0 || SyncFolderOf(archive) != 0) {
    Tell("Das Archiv " + Text(archive) + " kann nicht ersetzt werden: " + Text(std::strerror(errno)));
    return false;
  }
  return true;
}

Operation OperationOf(const QString& Schalter) {
  const QString s = Schalter.trimmed();
  if (s.startsWith('e', Qt::CaseInsensitive)) return Operation::Extract;
  if (s.startsWith('d', Qt::CaseInsensitive)) return Operation::Delete;
  return Operation::Add;
}

}  // namespace

QString PackerSettingKey(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::Lha: return "ExPackerLHA";
    case ArchiveKind::Arj: return "ExPackerARJ";
    case ArchiveKind::Zoo: return "ExPackerZOO";
    case ArchiveKind::Arc: return "ExPackerARC";
    default: return {};
  }
}

QString OwnPackerPath() {
  const QString path = QCoreApplication::applicationDirPath() + "/kxpack";
  return QFileInfo(path).isExecutable() ? path : QString();
}

QString PackerPathFor(ArchiveKind kind, Operation operation) {
  const QString key = PackerSettingKey(kind);
  if (key.isEmpty()) return {};
  const QString stored = GetSetting(kAppName, "Startup", key, "");
  if (!stored.isEmpty()) return stored;
  for (const auto& name : packer::ProgramNamesFor(kind)) {
    const QString found = QStandardPaths::findExecutable(Text(name));
    if (!found.isEmpty() && packer::CanDo(DialectOf(found), kind, operation)) return found;
  }
  return OwnPackerPath();
}

bool WorkExPacker(const QString& Schalter, const QString& filespec) {
  QStringList names;
  for (const auto& n : packer::SplitFileSpec(Bytes(filespec.trimmed()))) names << Text(n);
  return WorkExPacker(Schalter, names);
}

bool WorkExPacker(const QString& Schalter, const QStringList& names) {
  const QString archive = ProgramState().CurrentArchive;
  std::int16_t code = 0;
  KxIdentifyFile(Bytes(archive), code);
  const auto kind = static_cast<ArchiveKind>(code);
  const Operation op = OperationOf(Schalter);
  const QString path = PackerPathFor(kind, op);
  if (path.isEmpty() || !FileExists(path)) {
    ShowMessage("Das benötigte Programm zum Bearbeiten des Archivs " + archive +
                    " wurde falsch oder noch nicht angegeben. Bestimmen Sie im Menüpunkt 'Einstellungen' in "
                    "Registerkarte 'Externe Packer' das entsprechende Programm.",
                kTitle, symbol::Question);
    return false;
  }
  const packer::Program dialect = DialectOf(path);
  std::vector<std::string> list;
  for (const QString& n : names) list.push_back(Bytes(n));
  if (op == Operation::Extract) {
    if (list.size() == 1 && (list[0] == "*.*" || list[0] == "*")) list.clear();
    std::vector<std::string> stored;
    for (const auto& n : list) stored.push_back(packer::TakesListedNames(dialect) ? n : packer::ListedNameToStored(n));
    return Extract(path, dialect, kind, Bytes(archive), stored);
  }
  if (list.empty()) return false;
  return Change(path, dialect, kind, op, Bytes(archive), list);
}

PackerRun StartExPacker(const std::vector<std::string>& argv, const std::string& folder,
                        const std::vector<std::string>& questionMarks) {
  PackerRun run;
  ClearCancel();
  clsProcess process;
  process.ArgumentVector(argv);
  process.WorkingDirectory(folder);
  run.started = process.Exec();
  run.startError = process.StartError();
  if (!run.started) return run;

  const bool ownWindow = !ProgressWindowLoaded();
  ProgressWindow& window = TheProgressWindow();
  window.Label1->setText(QFileInfo(Text(argv[0])).fileName());
  window.show();
  while (!process.IsTerminated()) {
    QCoreApplication::processEvents();
    if (CancelRequested()) {
      run.cancelled = true;
      process.Kill();
    }
    const std::string& out = process.Output();
    for (const auto& mark : questionMarks) {
      const auto first = out.find(mark);
      if (first != std::string::npos && out.find(mark, first + mark.size()) != std::string::npos) run.kept_asking = true;
    }
    if (process.OutputBytes() > kRunawayOutput) run.kept_asking = true;
    if (run.kept_asking) process.Kill();
  }
  ClearCancel();
  if (ownWindow) CloseProgressWindow();
  run.exitStatus = process.ExitStatus();
  run.output = process.Output();
  return run;
}

bool StartExPacker(const QString& Commandline) {
  const auto argv = clsProcess::SplitCommandLine(Bytes(Commandline));
  if (argv.empty()) return false;
  return StartExPacker(argv, Bytes(ProgramState().TargetFolder)).started;
}

}  // namespace kx
