// Action 5: deletes the entries that FileSpec names (exact names or
// patterns). The kept entries are copied as they are, without recompressing:
// by FastDelete, which copies their byte ranges in the kernel, when the
// archive's layout is one it takes; through libzip otherwise (a
// self-extractor stub, gaps between entries, ...). Both select by the names
// every operation sees (zip_entry_name.h, in zip.NameCodePage), so a request
// selects the entries the list shows, either way. When
// no entry remains the archive becomes an empty archive (its end record
// alone, comment kept), never a deleted file.
#include "engine/io/vector_state.h"
#include "engine/zip/zip_delete.h"

#include <unordered_set>

#include "engine/cancel.h"
#include "engine/functions/quick_options.h"
#include "engine/zip/fast_delete.h"
#include "engine/zip/zip_add_collect.h"
#include "engine/zip/update_session.h"
#include "engine/zip/zip_entry_name.h"

namespace kx {
namespace {

// The names of FileSpec: exact names looked up, patterns matched.
class EntrySelection {
 public:
  explicit EntrySelection(const std::vector<std::string>& requested) {
    for (const auto& request : requested) {
      if (HasWildcard(request)) patterns_.push_back(request);
      else exact_.insert(request);
    }
  }
  bool Contains(const std::string& name) const {
    if (exact_.count(name)) return true;
    for (const auto& p : patterns_) {
      if (MatchesPattern(p, name)) return true;
    }
    return false;
  }

 private:
  std::unordered_set<std::string> exact_;
  std::vector<std::string> patterns_;
};

// Which entries go (by directory index) and which stay, with their packed
// sizes as progress weights.
struct Choice {
  std::vector<bool> drop;
  std::vector<std::string> deleted;
  std::vector<std::pair<std::string, std::uint64_t>> kept;

  void Add(const EntrySelection& selection, const std::string& name, std::uint64_t packed) {
    const bool goes = selection.Contains(name);
    drop.push_back(goes);
    if (goes) deleted.push_back(name);
    else kept.emplace_back(name, packed);
  }
};

// Hands the kept entries to the progress, names each deleted one in an event
// and asks the cancel switch, before a byte is written.
Result Announce(const Choice& choice, UpdateProgress& progress) {
  for (const auto& [name, weight] : choice.kept) progress.AddEntry(name, weight);
  for (const auto& name : choice.deleted) {
    progress.Report(name, 0);
    if (progress.CheckCancel()) return rc::Cancelled;
  }
  return rc::Ok;
}

std::string ArchiveComment(zip_t* za) {
  int len = 0;
  const char* c = zip_get_archive_comment(za, &len, ZIP_FL_ENC_RAW);
  return c ? std::string(c, static_cast<std::size_t>(len)) : std::string();
}

// Our parse names the entries; libzip's table must have the same count, so
// index i is the same entry in both (as ZipArchiveReader requires too).
Result DeleteThroughLibzip(UpdateSession& session, const EntrySelection& selection, CodePage page,
                           UpdateProgress& progress) {
  if (const Result r = session.OpenArchive(); r != rc::Ok) return r;
  std::vector<std::string> names;
  if (const Result r = DecideNames(FileSource(session.path()), page, names); r != rc::Ok) return r;
  zip_t* za = session.archive();
  Choice choice;
  const zip_int64_t count = zip_get_num_entries(za, 0);
  if (count != static_cast<zip_int64_t>(names.size())) return rc::ArchiveError;
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
    choice.Add(selection, names[static_cast<std::size_t>(i)], (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0);
    if (choice.drop.back() && zip_delete(za, static_cast<zip_uint64_t>(i)) != 0) return rc::ArchiveError;
  }
  if (choice.deleted.empty()) return rc::NoFiles;  // the archive stays untouched
  if (const Result r = Announce(choice, progress); r != rc::Ok) return r;
  session.target().SetCommentForEmptyArchive(ArchiveComment(za));
  return session.Close(progress);
}

}  // namespace

Result DeleteEntries(KxZip& zip) {
  ClearCancel();
  ClearUpperVectorState();
  const std::vector<std::string> requested = SplitFileSpec(zip.FileSpec);
  if (zip.ZipFile.empty()) return rc::FileNotFound;
  if (requested.empty()) return rc::NoFiles;

  UpdateProgress progress(zip, action::Delete);  // outlives the session that calls it back
  UpdateSession session;
  if (const Result r = session.Prepare(zip.ZipFile, false, 0); r != rc::Ok) return r;
  const EntrySelection selection(requested);

  FastDelete fast(session.path());
  if (fast.Open(zip.nameCodePage())) {
    Choice choice;
    for (std::size_t i = 0; i < fast.count(); ++i) choice.Add(selection, fast.name(i), fast.packedSize(i));
    if (choice.deleted.empty()) return rc::NoFiles;  // the archive stays untouched
    if (fast.CheckLayout()) {
      if (const Result r = Announce(choice, progress); r != rc::Ok) return r;
      return fast.Write(choice.drop, progress);
    }
  }
  return DeleteThroughLibzip(session, selection, zip.nameCodePage(), progress);
}

}  // namespace kx
