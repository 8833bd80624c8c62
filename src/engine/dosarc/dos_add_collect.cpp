#include "engine/dosarc/dos_add_collect.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <set>
#include <sys/stat.h>

#include "engine/io/cp437.h"
#include "engine/io/replace_file.h"
#include "engine/io/safe_paths.h"

namespace kx::dosarc {
namespace {

constexpr std::uint64_t kMaxSize = 0xffffffffu;  // the formats' 32-bit size fields
constexpr int kMaxDepth = 256;

class Collector {
 public:
  Collector(ArchiveKind kind, const DosWriter& writer, const FileId& archive, std::vector<FileToAdd>& out,
            const ReportFn& report)
      : kind_(kind), writer_(writer), archive_(archive), out_(out), report_(report) {}

  void Named(const std::string& given) {
    const std::string path = Normalised(given);
    if (path.empty()) return Fail(given, Problem::UnsafeName);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return Fail(given, errno == ENOENT ? Problem::NoSuchFile : Problem::ReadFailed, errno);
    if (S_ISDIR(st.st_mode)) return Folder(path, 0);
    if (!S_ISREG(st.st_mode)) return Fail(given, Problem::NotAFile);
    File(path, st);
  }

  bool ok() const { return ok_; }

 private:
  // "./a//b/" -> "a/b"; empty for names that leave the current folder.
  static std::string Normalised(const std::string& given) {
    if (given.empty() || given.front() == '/') return {};
    std::string path;
    for (std::string_view part : PathComponents(given)) {
      if (part == ".") continue;
      if (part == "..") return {};
      if (!path.empty()) path += '/';
      path += part;
    }
    return path;
  }

  void Folder(const std::string& path, int depth) {
    if (depth > kMaxDepth) return Fail(path, Problem::NotAFile);
    DIR* dir = ::opendir(path.c_str());
    if (!dir) return Fail(path, Problem::ReadFailed, errno);
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string child = path + "/" + name;
      struct stat st {};
      if (::lstat(child.c_str(), &st) != 0) {
        Fail(child, Problem::ReadFailed, errno);
      } else if (S_ISDIR(st.st_mode)) {
        Folder(child, depth + 1);
      } else if (S_ISREG(st.st_mode)) {
        if (!IsTemporaryName(name)) File(child, st);
      } else {
        Note(child, Problem::Skipped);
      }
    }
  }

  void File(const std::string& path, const struct stat& st) {
    if (st.st_dev == archive_.dev && st.st_ino == archive_.ino) return Note(path, Problem::IsArchive);
    if (std::uint64_t(st.st_size) > kMaxSize) return Fail(path, Problem::TooLarge);
    FileToAdd f;
    f.path = path;
    f.entryName = kind_ == ArchiveKind::Arc ? LeafOf(path) : path;
    if (!Utf8ToCp437(f.entryName, f.storedName)) return Fail(path, Problem::NotCp437);
    switch (writer_.CheckName(f.storedName)) {
      case NameFit::TooLong: return Fail(path, Problem::NameTooLong);
      case NameFit::Empty: return Fail(path, Problem::UnsafeName);
      case NameFit::Fits: break;
    }
    if (!entryNames_.insert(f.entryName).second) return Fail(path, Problem::SameName);
    f.unixTime = st.st_mtime;
    f.unixMode = st.st_mode & 07777;
    out_.push_back(std::move(f));
  }

  void Fail(const std::string& name, Problem p, int err = 0) {
    ok_ = false;
    if (report_) report_({name, p, err});
  }
  void Note(const std::string& name, Problem p) {
    if (report_) report_({name, p, 0});
  }

  ArchiveKind kind_;
  const DosWriter& writer_;
  FileId archive_;
  std::vector<FileToAdd>& out_;
  const ReportFn& report_;
  std::set<std::string> entryNames_;
  bool ok_ = true;
};

}  // namespace

bool CollectFiles(ArchiveKind kind, const DosWriter& writer, const std::vector<std::string>& names,
                  const FileId& archive, std::vector<FileToAdd>& out, const ReportFn& report) {
  Collector c(kind, writer, archive, out, report);
  for (const std::string& name : names) c.Named(name);
  return c.ok();
}

}  // namespace kx::dosarc
