// "&Zeichensatz der Namen" in "A&nsicht": how the names of a ZIP archive
// that carry no UTF-8 flag are read (the engine's NameCodePage). The choice
// belongs to the archive's path and is kept in the stored settings, section
// "Zeichensatz", keys "1".."4", each "<code page number> <path>", for as long
// as the path is among the recent archives (or is the archive shown).
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <vector>

#include "app/base/tokens.h"
#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "engine/functions/kx_identify.h"
#include "engine/io/code_page.h"
#include "settings/settings_store.h"

namespace kx {
namespace {

constexpr int kRecentCount = 4;
const QString kSection = QStringLiteral("Zeichensatz");

struct CodePageEntry {
  CodePage page;
  const char* caption;
};
const CodePageEntry kEntries[] = {
    {CodePage::Automatic, "&Automatisch"},
    {CodePage::Cp437, "CP&437 (DOS)"},
    {CodePage::Cp850, "CP&850 (DOS, Westeuropa)"},
    {CodePage::Cp866, "CP8&66 (DOS, Kyrillisch)"},
    {CodePage::Windows1252, "&Windows-1252 (Westeuropa)"},
    {CodePage::ShiftJis, "&Shift-JIS (Japanisch)"},
    {CodePage::Gbk, "&GBK (Chinesisch)"},
};

QString EntryName(int i) { return QString("mnuzeichensatz(%1)").arg(i); }

struct StoredChoice {
  QString path;
  std::int16_t code = 0;
};

std::vector<StoredChoice> StoredChoices() {
  std::vector<StoredChoice> out;
  for (int key = 1; key <= kRecentCount; ++key) {
    const QString value = GetSetting(kAppName, kSection, QString::number(key), "");
    const qsizetype blank = value.indexOf(' ');
    bool number = false;
    const int code = value.left(blank).toInt(&number);
    if (blank <= 0 || !number || CodePageOf(static_cast<std::int16_t>(code)) == CodePage::Automatic) continue;
    out.push_back({value.mid(blank + 1), static_cast<std::int16_t>(code)});
  }
  return out;
}

void SaveChoices(const std::vector<StoredChoice>& choices) {
  for (int key = 1; key <= kRecentCount; ++key) {
    const auto i = static_cast<std::size_t>(key - 1);
    SaveSetting(kAppName, kSection, QString::number(key),
                i < choices.size() ? QString::number(choices[i].code) + ' ' + choices[i].path : QString());
  }
}

bool IsZipKind(const QString& archive) {
  std::int16_t k = kind::None;
  if (archive.isEmpty()) return false;
  KxIdentifyFile(archive.toStdString(), k);
  return k >= kind::Zip && k <= kind::Spanned;
}

}  // namespace

void ArchiveWindow::connectCodePageCommands() {
  QMenu* view = findChild<QMenu*>("mnuansicht");
  addCommand(view, "mnustrich7", "-");
  QMenu* menu = view->addMenu("&Zeichensatz der Namen");
  menu->setObjectName("mnuzeichensatz");
  auto* group = new QActionGroup(menu);
  for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) {
    QAction* a = addCommand(menu, EntryName(i), QString::fromUtf8(kEntries[i].caption));
    a->setCheckable(true);
    a->setChecked(i == 0);
    group->addAction(a);
    connect(a, &QAction::triggered, this, [this, i] { mnuzeichensatz_Click(i); });
  }
  connect(menu, &QMenu::aboutToShow, this, [this] {
    const bool zip = IsZipKind(ProgramState().CurrentArchive);
    for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) command(EntryName(i))->setEnabled(zip);
  });
  // A path that leaves the recent archives takes its choice along. The list
  // changes entry by entry (moved down, restored at loading), so the check
  // waits until the change is complete; the archive shown then keeps its own.
  for (int i = 1; i <= kRecentCount; ++i) {
    connect(command(QString("mnudbmru(%1)").arg(i)), &QAction::changed, this, [this] {
      QTimer::singleShot(0, this, [this, shown = ProgramState().CurrentArchive] {
        std::vector<StoredChoice> choices = StoredChoices();
        const auto dropped = std::erase_if(choices, [&](const StoredChoice& c) {
          if (c.path == shown) return false;
          for (int r = 1; r <= kRecentCount; ++r)
            if (RecentArchive(r) == c.path) return false;
          return true;
        });
        if (dropped > 0) SaveChoices(choices);
      });
    });
  }
}

void ArchiveWindow::applyStoredCodePage(const QString& archive) {
  std::int16_t code = OptionCode(CodePage::Automatic);
  for (const StoredChoice& c : StoredChoices())
    if (c.path == archive) code = c.code;
  KxZip1.NameCodePage = code;
  for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i)
    if (OptionCode(kEntries[i].page) == code) command(EntryName(i))->setChecked(true);
}

void ArchiveWindow::mnuzeichensatz_Click(int index) {
  ProgramWideState& s = ProgramState();
  if (index < 0 || index >= static_cast<int>(std::size(kEntries)) || !IsZipKind(s.CurrentArchive)) return;
  // 1. The choice replaces the archive's earlier one and goes first.
  std::vector<StoredChoice> choices = StoredChoices();
  std::erase_if(choices, [&](const StoredChoice& c) { return c.path == s.CurrentArchive; });
  if (kEntries[index].page != CodePage::Automatic)
    choices.insert(choices.begin(), {s.CurrentArchive, OptionCode(kEntries[index].page)});
  if (choices.size() > kRecentCount) choices.resize(kRecentCount);
  SaveChoices(choices);
  // 2. The archive is listed again in the chosen code page.
  setStatusMessage("Archiv '" + QString::fromStdString(FileNameOfPath(s.CurrentArchive.toStdString())) +
                   "' wird eingelesen... Bitte warten...");
  QApplication::processEvents();
  viewzip(s.CurrentArchive);
  setStatusMessage("Letzte Nachricht - Archiv eingelesen...");
}

}  // namespace kx
