// Drag out: the selected rows of the list dragged to a file manager or the
// desktop. Only the dragged entries are extracted, through unzip (engine or
// packer, password page included), into a private folder; the drag offers
// what came out (see drag_out.h for the two protocols).
#include "archive_window/drag_out.h"

#include <QAction>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScopeGuard>
#include <QSysInfo>
#include <QTimer>
#include <QUrl>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/program_state.h"
#include "archive_window/archive_window.h"
#include "archive_window/entry_list_view.h"
#include "platform/user_seam.h"
#include "ui/message_dialog.h"

namespace kx {
namespace {

namespace fs = std::filesystem;

// The private folder of the last drag. The target may read it after the
// drag has ended, so it goes when the next drag starts or the program ends.
struct DragFolder {
  std::string path;
  void remove() {
    std::error_code ec;
    if (!path.empty()) fs::remove_all(path, ec);
    path.clear();
  }
  ~DragFolder() { remove(); }
};

DragFolder& LastDragFolder() {
  static DragFolder folder;
  return folder;
}

// A fresh folder "kravix-drag-XXXXXX" in the temporary folder, readable by
// us alone; empty when it cannot be made.
std::string MakeDragFolder() {
  std::string pattern = QDir::tempPath().toStdString() + "/kravix-drag-XXXXXX";
  return ::mkdtemp(pattern.data()) ? pattern : std::string();
}

// --- the direct-save property on X11 ----------------------------------

xcb_connection_t* X11() {
  auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

xcb_atom_t AtomOf(xcb_connection_t* c, const char* name) {
  xcb_intern_atom_reply_t* r =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, false, std::strlen(name), name), nullptr);
  const xcb_atom_t atom = r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
  std::free(r);
  return atom;
}

// The window the running drag comes from, as the target sees it: Qt's
// window that owns XdndSelection during a drag.
xcb_window_t& DirectSaveWindow() {
  static xcb_window_t window = XCB_NONE;
  return window;
}

// Step 1 of the protocol: the file name on the source window.
void OfferDirectSaveName(const QString& name) {
  xcb_connection_t* c = X11();
  if (!c) return;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, AtomOf(c, "XdndSelection")), nullptr);
  DirectSaveWindow() = owner ? owner->owner : XCB_NONE;
  std::free(owner);
  if (DirectSaveWindow() == XCB_NONE) return;
  const QByteArray bytes = name.toUtf8();
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, DirectSaveWindow(), AtomOf(c, DraggedEntries::kDirectSave),
                      AtomOf(c, "text/plain"), 8, bytes.size(), bytes.constData());
  xcb_flush(c);
}

// Step 2: the target has replaced the name by the URI of the file it wants.
QByteArray TakeDirectSaveUri() {
  xcb_connection_t* c = X11();
  if (!c || DirectSaveWindow() == XCB_NONE) return {};
  xcb_get_property_reply_t* r = xcb_get_property_reply(
      c,
      xcb_get_property(c, true, DirectSaveWindow(), AtomOf(c, DraggedEntries::kDirectSave),
                       XCB_GET_PROPERTY_TYPE_ANY, 0, 16384),
      nullptr);
  QByteArray uri;
  if (r && r->format == 8)
    uri = QByteArray(static_cast<const char*>(xcb_get_property_value(r)), xcb_get_property_value_length(r));
  std::free(r);
  return uri;
}

// --- copying for a direct save -----------------------------------------

enum class Replace { Yes, No, Cancel };

Replace AskReplace(const fs::path& to, bool folder) {
  switch (static_cast<Overwrite>(ProgramState().Options.OverwriteMode)) {
    case Overwrite::Always: return Replace::Yes;
    case Overwrite::Never: return Replace::No;
    default: break;
  }
  const QString shown = QString::fromStdString(to.string());
  const QString text = folder ? "Der Ordner \"" + shown + "\" existiert bereits. Dateien darin überschreiben?"
                              : "Die Datei \"" + shown + "\" existiert bereits. Überschreiben?";
  const int answer = Seam().messageBox(text, "Kravix", BoxButtons::YesNoCancel, BoxIcon::Information);
  return answer == box::Cancel ? Replace::Cancel : answer == box::Yes ? Replace::Yes : Replace::No;
}

// Copies a file or folder tree from → to. What lies at `to` is replaced
// only when replace says so; a link there is replaced like a file, never
// written through, and a folder is never replaced by a file. Links in the
// extracted tree are left behind. False when something could not be
// written.
bool CopyEntry(const fs::path& from, const fs::path& to, bool replace) {
  std::error_code ec;
  const fs::file_status source = fs::symlink_status(from, ec);
  const fs::file_status there = fs::symlink_status(to, ec);
  const bool taken = fs::exists(there);
  if (fs::is_directory(source)) {
    if (taken && !fs::is_directory(there)) {
      if (!replace) return true;
      if (!fs::remove(to, ec)) return false;
    }
    if (!fs::is_directory(there) && !fs::create_directory(to, ec)) return false;
    bool ok = true;
    for (const fs::directory_entry& e : fs::directory_iterator(from, ec))
      ok = CopyEntry(e.path(), to / e.path().filename(), replace) && ok;
    return ok && !ec;
  }
  if (!fs::is_regular_file(source)) return true;
  if (taken) {
    if (!replace || fs::is_directory(there)) return true;
    if (!fs::remove(to, ec)) return false;
  }
  return fs::copy_file(from, to, fs::copy_options::none, ec);
}

// Keeps a drag of our own rows from landing on the list, where it would be
// taken for files to add.
class OwnDragRefusal : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove:
      case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!dynamic_cast<const DraggedEntries*>(drop->mimeData())) return false;
        drop->ignore();
        return true;
      }
      default: return false;
    }
  }
};

}  // namespace

// --- DraggedEntries --------------------------------------------------------

DraggedEntries::DraggedEntries(const QString& folder, const QStringList& paths,
                               std::function<void(const QStringList&, const QString&)> save)
    : folder_(folder), paths_(paths), save_(std::move(save)) {
  QList<QUrl> urls;
  for (const QString& path : paths_) urls << QUrl::fromLocalFile(path);
  setUrls(urls);
  if (X11()) setData(kDirectSave, {});
}

QString DraggedEntries::directSaveName() const {
  return paths_.isEmpty() ? QString() : QFileInfo(paths_.first()).fileName();
}

QByteArray DraggedEntries::directSaveTo(const QByteArray& uri) const {
  const qsizetype end = uri.indexOf('\0');  // some targets end it with a NUL
  const QUrl url = QUrl::fromEncoded(uri.left(end < 0 ? uri.size() : end).trimmed());
  const QString host = url.host();
  if (!url.isLocalFile() || !(host.isEmpty() || host == "localhost" || host == QSysInfo::machineHostName()))
    return "F";
  const QString folder = QFileInfo(url.toLocalFile()).absolutePath();
  if (!QFileInfo(folder).isDir()) return "F";
  // A question about replacing must not keep the target waiting for its
  // answer, so the copy runs after the answer has gone.
  QTimer::singleShot(0, qApp, [save = save_, paths = paths_, folder] { save(paths, folder); });
  return "S";
}

QVariant DraggedEntries::retrieveData(const QString& format, QMetaType type) const {
  if (format != kDirectSave) return QMimeData::retrieveData(format, type);
  // Asked once per drop; a second request gets the same answer.
  if (answer_.isEmpty()) answer_ = directSaveTo(TakeDirectSaveUri());
  return answer_;
}

// --- the archive window -----------------------------------------------------

void ArchiveWindow::connectDragOutCommands() {
  connect(ListView1, &EntryListView::dragOutWanted, this, &ArchiveWindow::dragOutEntries);
  // Installed after the drop zone's filter, so it sees every drag first.
  ListView1->installEventFilter(new OwnDragRefusal(this));
}

void ArchiveWindow::RemoveDragOutFolder() { LastDragFolder().remove(); }

std::unique_ptr<DraggedEntries> ArchiveWindow::ListView1_OLEStartDrag() {
  ProgramWideState& s = ProgramState();
  RemoveDragOutFolder();
  const QAction* extract = command("mnuaextrakt");
  if (!extract || !extract->isEnabled() || !isEnabled() || ListView1->selectedCount() == 0) return nullptr;
  const std::string folder = MakeDragFolder();
  if (folder.empty()) {
    ShowMessage("Im temporären Ordner " + QDir::tempPath() + " kann nicht geschrieben werden.", "Fehler",
                symbol::Error);
    return nullptr;
  }
  LastDragFolder().path = folder;

  {
    // Into the empty folder everything named comes out; the user's target
    // folder and extract mode stay as they were.
    const QString target = s.TargetFolder;
    const std::int16_t mode = s.Options.ExtractMode;
    const auto restore = qScopeGuard([&] {
      s.TargetFolder = target;
      s.Options.ExtractMode = mode;
    });
    s.TargetFolder = QString::fromStdString(folder);
    s.Options.ExtractMode = OptionCode(ExtractChoice::All);
    EntpackenStarten = true;
    bool shell = false;
    unzip(action::Extract, shell, false, true);
  }

  QStringList paths;
  const QDir extracted(QString::fromStdString(folder));
  for (const QFileInfo& item :
       extracted.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks, QDir::Name))
    paths << item.absoluteFilePath();
  if (paths.isEmpty()) {
    RemoveDragOutFolder();
    return nullptr;
  }
  return std::make_unique<DraggedEntries>(
      extracted.absolutePath(), paths,
      [window = QPointer<ArchiveWindow>(this)](const QStringList& p, const QString& f) {
        if (window) window->saveDraggedEntries(p, f);
      });
}

void ArchiveWindow::dragOutEntries() {
  std::unique_ptr<DraggedEntries> data = ListView1_OLEStartDrag();
  if (!data) return;
  const QString name = data->directSaveName();
  auto* drag = new QDrag(ListView1->currentView());
  drag->setMimeData(data.release());
  // Qt's source window owns the drag selection once the drag runs.
  QTimer::singleShot(0, drag, [name] { OfferDirectSaveName(name); });
  // No link: the files lie in a folder that goes away.
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
}

void ArchiveWindow::saveDraggedEntries(const QStringList& paths, const QString& folder) {
  bool ok = true;
  for (const QString& path : paths) {
    const fs::path from = path.toStdString();
    const fs::path to = fs::path(folder.toStdString()) / from.filename();
    std::error_code ec;
    Replace replace = Replace::No;
    if (fs::exists(fs::symlink_status(to, ec))) {
      replace = AskReplace(to, fs::is_directory(fs::symlink_status(to, ec)));
      if (replace == Replace::Cancel) break;
    }
    ok = CopyEntry(from, to, replace == Replace::Yes) && ok;
  }
  if (!ok)
    ShowMessage("Nicht alle entpackten Dateien konnten in den Zielordner " + folder + " geschrieben werden.",
                "Fehler", symbol::Error);
}

}  // namespace kx
