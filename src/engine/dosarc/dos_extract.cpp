#include "engine/dosarc/dos_extract.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/codecs/member_codec.h"
#include "engine/io/file_io.h"
#include "engine/io/safe_paths.h"

namespace kx::dosarc {
namespace {

constexpr std::size_t kMaxTempStem = 200;
constexpr mode_t kFileMode = 0666;  // less the umask
constexpr mode_t kReadOnlyMode = 0444;

Problem FromStatus(codec::Status s) {
  switch (s) {
    case codec::Status::Ok: return Problem::None;
    case codec::Status::Unsupported: return Problem::UnknownMethod;
    case codec::Status::OutputFailed: return Problem::WriteFailed;
    default: return Problem::Corrupt;
  }
}

Result Summary(bool failed, bool missing) {
  if (failed) return rc::PartiallyDone;
  return missing ? rc::NoFiles : rc::Ok;
}

class Extractor {
 public:
  Extractor(const DosArchive& a, const ExtractOptions& o, const ReportFn& report)
      : a_(a), o_(o), report_(report), random_(std::random_device{}()) {}

  Result Run(const std::vector<std::size_t>& chosen) {
    int err = 0;
    root_ = OpenTargetFolder(o_.target, false, err);
    if (!root_.ok()) return rc::PathNotFound;
    bool failed = false;
    for (std::size_t i : chosen) {
      const dosfmt::DosItem& item = a_.layout.items[i];
      Report r{item.entry.name, Problem::None, 0};
      One(item, r);
      if (!IsNote(r.problem)) failed = true;
      if (report_) report_(r);
    }
    SetFolderTimes();
    return failed ? rc::PartiallyDone : rc::Ok;
  }

 private:
  void One(const dosfmt::DosItem& item, Report& r) {
    if (item.entry.encrypted) {
      r.problem = Problem::Encrypted;
      return;
    }
    const CleanName clean = CleanEntryName(item.entry.name, item.rawName);
    if (!clean.usable()) {
      // "./" is the target folder itself: nothing to make.
      if (!(item.entry.isFolder && clean.verdict == NameVerdict::Empty)) r.problem = Problem::UnsafeName;
      return;
    }
    if (item.entry.isFolder) {
      if (o_.withPaths) MakeFolder(item, clean.path, r);
      return;
    }
    std::vector<std::string_view> folders = PathComponents(clean.path);
    const std::string leaf(folders.back());
    folders.pop_back();
    if (!o_.withPaths) folders.clear();
    int err = 0;
    DirFd parent = OpenFolderBelow(root_.get(), folders, true, err);
    if (!parent.ok()) {
      Fail(r, err);
      return;
    }
    WriteFile(item, parent.get(), leaf, r);
    if (r.problem == Problem::None && clean.verdict == NameVerdict::Stripped) r.problem = Problem::NameStripped;
  }

  // ENOTDIR, ELOOP: a file or a symbolic link sits where a folder should be.
  static void Fail(Report& r, int err) {
    r.err = err;
    r.problem = err == ENOTDIR || err == ELOOP || err == EEXIST || err == EISDIR ? Problem::Blocked
                                                                                 : Problem::WriteFailed;
  }

  void MakeFolder(const dosfmt::DosItem& item, const std::string& path, Report& r) {
    int err = 0;
    DirFd dir = OpenFolderBelow(root_.get(), PathComponents(path), true, err);
    if (!dir.ok()) {
      Fail(r, err);
      return;
    }
    folderTimes_.emplace_back(path, ToLocalTime(item.entry.modified));
  }

  // ".<name>.kxtmp-XXXXXX" beside the final file, so the rename stays on one
  // file system and a leftover is recognisably ours.
  std::string TempName(const std::string& leaf) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = "." + leaf.substr(0, kMaxTempStem) + ".kxtmp-";
    for (int i = 0; i < 6; ++i) name += kDigits[random_() % (sizeof kDigits - 1)];
    return name;
  }

  void WriteFile(const dosfmt::DosItem& item, int parentFd, const std::string& leaf, Report& r) {
    struct stat st {};
    if (::fstatat(parentFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
      r.problem = Problem::Exists;
      return;
    }
    if (errno != ENOENT) return Fail(r, errno);
    const mode_t mode = (item.entry.attributes & attr::ReadOnly) ? kReadOnlyMode : kFileMode;
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
      temp = TempName(leaf);
      fd = ::openat(parentFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd < 0 && errno != EEXIST) return Fail(r, errno);
    }
    if (fd < 0) return Fail(r, EEXIST);
    int writeErr = 0;
    r.problem = DecodeItem(a_, item, [fd, &writeErr](const std::uint8_t* data, std::size_t n) {
      writeErr = WriteAll(fd, data, n);
      return writeErr == 0;
    });
    r.err = writeErr;
    if (r.problem == Problem::None) {
      if (const std::time_t when = ToLocalTime(item.entry.modified); when >= 0) {
        const struct timespec times[2] = {{when, 0}, {when, 0}};
        ::futimens(fd, times);
      }
    }
    if (::close(fd) != 0 && r.problem == Problem::None) Fail(r, errno);
    if (r.problem == Problem::None) Commit(parentFd, temp, leaf, r);
    if (r.problem != Problem::None) ::unlinkat(parentFd, temp.c_str(), 0);
  }

  // The rename never replaces a file that appeared meanwhile.
  static void Commit(int parentFd, const std::string& temp, const std::string& leaf, Report& r) {
    if (::renameat2(parentFd, temp.c_str(), parentFd, leaf.c_str(), RENAME_NOREPLACE) == 0) return;
    int err = errno;
    if (err == EINVAL || err == ENOSYS) {  // a file system without it: a hard link refuses to replace too
      if (::linkat(parentFd, temp.c_str(), parentFd, leaf.c_str(), 0) == 0) {
        ::unlinkat(parentFd, temp.c_str(), 0);
        return;
      }
      err = errno;
    }
    if (err == EEXIST) {
      r.problem = Problem::Exists;
      return;
    }
    Fail(r, err);
  }

  // Last, since writing into a folder changes its time; deeper folders first.
  void SetFolderTimes() {
    std::sort(folderTimes_.begin(), folderTimes_.end(), [](auto& x, auto& y) { return x.first > y.first; });
    for (const auto& [path, when] : folderTimes_) {
      if (when < 0) continue;
      int err = 0;
      DirFd dir = OpenFolderBelow(root_.get(), PathComponents(path), false, err);
      const struct timespec times[2] = {{when, 0}, {when, 0}};
      if (dir.ok()) ::futimens(dir.get(), times);
    }
  }

  const DosArchive& a_;
  const ExtractOptions& o_;
  const ReportFn& report_;
  std::mt19937 random_;
  DirFd root_;
  std::vector<std::pair<std::string, std::time_t>> folderTimes_;
};

std::vector<std::size_t> Choose(const DosArchive& a, const std::vector<std::string>& names, const ReportFn& report,
                                bool& missing) {
  std::vector<std::string> notThere;
  auto chosen = ChooseItems(a.layout, names, notThere);
  for (const auto& name : notThere) {
    if (report) report({name, Problem::NotFound, 0});
  }
  missing = !notThere.empty();
  return chosen;
}

}  // namespace

Problem DecodeItem(const DosArchive& archive, const dosfmt::DosItem& item, const codec::Sink& sink) {
  codec::MemberCrc crc(archive.kind);
  codec::PackedInput in(*archive.source, item.dataBegin, item.dataEnd - item.dataBegin);
  codec::BoundedOutput out(item.entry.size, [&](const std::uint8_t* data, std::size_t n) {
    crc.Add(data, n);
    return sink(data, n);
  });
  const codec::Status s = codec::DecodeMember(archive.kind, item.entry.method, in, out);
  if (s != codec::Status::Ok) return FromStatus(s);
  return crc.Value() == item.entry.crc ? Problem::None : Problem::CrcError;
}

Result ExtractMembers(const DosArchive& archive, const std::vector<std::string>& names, const ExtractOptions& options,
                      const ReportFn& report) {
  bool missing = false;
  const auto chosen = Choose(archive, names, report, missing);
  if (DataOverlaps(archive)) return rc::ArchiveError;
  Extractor x(archive, options, report);
  const Result r = x.Run(chosen);
  if (r == rc::PathNotFound) return r;
  return Summary(r != rc::Ok, missing);
}

Result TestMembers(const DosArchive& archive, const std::vector<std::string>& names, const ReportFn& report) {
  bool missing = false;
  const auto chosen = Choose(archive, names, report, missing);
  if (DataOverlaps(archive)) return rc::ArchiveError;
  bool failed = false;
  for (std::size_t i : chosen) {
    const dosfmt::DosItem& item = archive.layout.items[i];
    Report r{item.entry.name, Problem::None, 0};
    if (item.entry.encrypted)
      r.problem = Problem::Encrypted;
    else if (!item.entry.isFolder)
      r.problem = DecodeItem(archive, item, [](const std::uint8_t*, std::size_t) { return true; });
    if (!IsNote(r.problem)) failed = true;
    if (report) report(r);
  }
  return Summary(failed, missing);
}

}  // namespace kx::dosarc
