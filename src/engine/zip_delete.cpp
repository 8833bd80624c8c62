// Action 5: deletes the entries that FileSpec names (exact
// names or patterns). libzip copies the remaining entries as they are, without
// recompressing. When no entry remains the archive becomes an empty archive
// (its end record alone), never a deleted file.
#include <unordered_set>

#include "engine/cancel.h"
#include "engine/operations.h"
#include "engine/zip_write_names.h"
#include "engine/zip_write_session.h"

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

std::string ArchiveComment(zip_t* za) {
  int len = 0;
  const char* c = zip_get_archive_comment(za, &len, ZIP_FL_ENC_RAW);
  return c ? std::string(c, static_cast<std::size_t>(len)) : std::string();
}

}  // namespace

Result DeleteEntries(KxZip& zip) {
  ClearCancel();
  const std::vector<std::string> requested = SplitFileSpec(zip.FileSpec);
  if (zip.ZipFile.empty()) return rc::FileNotFound;
  if (requested.empty()) return rc::NoFiles;

  UpdateProgress progress(zip, action::Delete);  // outlives the session that calls it back
  UpdateSession session;
  if (const Result r = session.Open(zip.ZipFile, false, 0); r != rc::Ok) return r;
  zip_t* za = session.archive();

  const EntrySelection selection(requested);
  std::vector<std::string> deleted;
  const zip_int64_t count = zip_get_num_entries(za, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0 || !st.name) continue;
    if (selection.Contains(st.name)) {
      if (zip_delete(za, static_cast<zip_uint64_t>(i)) != 0) return rc::ArchiveError;
      deleted.push_back(st.name);
    } else {
      progress.AddEntry(st.name, (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0);
    }
  }
  if (deleted.empty()) return rc::NoFiles;  // the archive stays untouched
  for (const auto& name : deleted) {
    progress.Report(name, 0);
    if (progress.CheckCancel()) return rc::Cancelled;
  }
  session.target().SetCommentForEmptyArchive(ArchiveComment(za));
  return session.Close(progress);
}

}  // namespace kx
