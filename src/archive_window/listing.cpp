// The archive listing: every way of showing an archive ends in viewzip.
#include <QApplication>
#include <QFileInfo>
#include <QLabel>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "app/base/run_error.h"
#include "app/base/tokens.h"
#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "archive_window/entry_model.h"
#include "engine/functions/kx_functions.h"

namespace kx {
namespace {

// What each kind of archive allows. nullopt leaves an entry as it was.
struct CommandRule {
  const char* name;
  std::optional<bool> zip, multiVolume, packer, writeProtected, empty;
};
constexpr std::nullopt_t kKeep = std::nullopt;
const CommandRule kCommandRules[] = {
    {"mnu_Update", true, false, true, false, false},
    {"mnualöschen", true, false, true, false, false},
    {"mnuMarkAll", true, true, true, true, false},
    {"mnuSchnellansicht", true, true, true, true, false},
    {"mnuaextrakt", true, true, true, true, false},
    {"mnutesten", true, true, false, true, false},
    {"mnuadateibemerkung", true, false, false, true, false},
    {"mnuaeinstellungen", true, kKeep, true, true, kKeep},
    {"mnuarchivschliessen", true, true, true, kKeep, true},
    {"button:update", true, false, true, false, false},
    {"button:delete", true, false, true, false, false},
    {"button:extrakt", true, true, true, true, false},
    {"button:dateibemerkung", true, false, false, true, false},
    {"button:einstellungen", true, true, true, true, kKeep},
};

enum class KindGroup { Zip, MultiVolume, Packer, Other };

std::optional<bool> RuleFor(const CommandRule& r, CommandColumn column) {
  switch (column) {
    case CommandColumn::Zip: return r.zip;
    case CommandColumn::MultiVolume: return r.multiVolume;
    case CommandColumn::Packer: return r.packer;
    case CommandColumn::WriteProtected: return r.writeProtected;
    case CommandColumn::NoEntries: return r.empty;
  }
  return std::nullopt;
}

KindGroup GroupOf(std::int16_t kind) {
  if (kind == kind::None || kind == kind::Zip) return KindGroup::Zip;
  if (kind >= kind::SplitFirst && kind <= kind::Spanned) return KindGroup::MultiVolume;
  if (kind >= kind::Lha && kind <= kind::Arc) return KindGroup::Packer;
  return KindGroup::Other;
}

// The archive file's attributes as the classic file system kept them:
// read-only (1) when it cannot be written, else the archive bit (32). A file
// without any write permission counts as read-only also for root, who could
// write it anyway: its owner meant it to stay as it is.
int ArchiveFileAttributes(const QString& path) {
  const QByteArray name = path.toLocal8Bit();
  struct stat st {};
  if (::stat(name.constData(), &st) == 0 && (st.st_mode & 0222) == 0) return 1;
  return ::access(name.constData(), W_OK) == 0 ? 32 : 1;
}

}  // namespace

void ArchiveWindow::applyCommandColumn(CommandColumn column) {
  for (const CommandRule& rule : kCommandRules)
    if (const auto on = RuleFor(rule, column)) setCommandEnabled(QString::fromUtf8(rule.name), *on);
}

void ArchiveWindow::viewzip(const QString& archive) {
  ProgramWideState& s = ProgramState();
  ErrorTrap step;  // each step stands alone; nothing is reported from here
  step([&] {
    s.EncryptedEntries = 0;
    setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
  });
  step([&] {
    QString path = archive;
    while (path.startsWith(' ')) path.remove(0, 1);
    KxZip1.ZipFile = path.toStdString();
  });
  step([&] { applyStoredCodePage(QString::fromStdString(KxZip1.ZipFile)); });
  step([&] { ListView1->model()->clear(); });
  step([&] { KxZip1.SetAction(action::ReadDirectory); });
  if (KxZip1.EntryCount() <= 0) {
    step([&] { NoFilesInZip(); });
  } else {
    step([&] {
      FileTypeCache types;
      std::vector<EntryRow> rows;
      rows.reserve(static_cast<std::size_t>(KxZip1.EntryCount()));
      for (std::int32_t i = 0; i < KxZip1.EntryCount(); ++i) {
        KxZip1.SetEntryIndex(i);
        const EntryInfo* entry = KxZip1.Entry();
        if (!entry) continue;
        rows.push_back(MakeEntryRow(*entry, types));
        if (rows.back().encrypted) s.EncryptedEntries = -1;
      }
      ListView1->model()->setRows(std::move(rows));
    });
    // Descending, then ascending: the rows end up ascending by the sort key.
    // One sort does that; the descending one in between would only cost time.
    step([&] { ListView1->setSortOrder(0); });
    QString caption;
    step([&] {
      std::int16_t kind = 0;
      KxIdentifyFile(s.CurrentArchive.toStdString(), kind);
      switch (GroupOf(kind)) {
        case KindGroup::Zip: applyCommandColumn(CommandColumn::Zip); break;
        case KindGroup::MultiVolume: applyCommandColumn(CommandColumn::MultiVolume); break;
        case KindGroup::Packer: applyCommandColumn(CommandColumn::Packer); break;
        case KindGroup::Other: break;
      }
      const QString name = QString::fromStdString(FileNameOfPath(s.CurrentArchive.toStdString()));
      switch (GroupOf(kind)) {
        case KindGroup::Zip:
        case KindGroup::Packer: caption = "Kravix - Archiv '" + name + "' geöffnet"; break;
        case KindGroup::MultiVolume: caption = "Kravix - Archiv '" + name + "' geöffnet(ZipMultivolume)"; break;
        case KindGroup::Other: break;
      }
    });
    step([&] {
      const int attributes = ArchiveFileAttributes(s.CurrentArchive);
      if (attributes != 0 && attributes != 32) {
        applyCommandColumn(CommandColumn::WriteProtected);
        caption += " (Schreibgeschützt)";
      }
    });
    step([&] { setWindowTitle(caption); });
    step([&] {
      statusPanel(3)->show();
      statusPanel(4)->show();
      statusPanel(4)->setText(QString::number(KxZip1.EntryCount()));
    });
    step([&] { s.PendingComment = QString::fromStdString(KxZip1.ZipComment()); });
    step([&] { archivlistcount(); });
  }
  step([&] { KxZip1.SetAction(action::None); });
  step([&] {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  });
  step([&] { ListView1->clearSelection(); });
  step([&] { setEnabled(true); });
}

void ArchiveWindow::NoFilesInZip() {
  applyCommandColumn(CommandColumn::NoEntries);
  statusPanel(3)->hide();
  statusPanel(4)->hide();
  setWindowTitle("Kravix - Archiv enthält keine Archivdateien ");
}

void ArchiveWindow::archivlistcount() {
  const int selected = ListView1->selectedCount();
  Anzahlarchivdateien = static_cast<std::int16_t>(selected > 0x7fff ? 0x7fff : selected);
  statusPanel(3)->setText(QString::number(Anzahlarchivdateien));
}

}  // namespace kx
