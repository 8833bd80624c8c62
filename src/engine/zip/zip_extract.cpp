// Actions 6 (extract) and 7 (test) on ZIP archives and split sets.
//
// Both open the archive with the safety checks (overlapping or outlying
// entry data and duplicate names refuse the whole archive before anything is
// decompressed), pick the entries FileSpec names and read each one: plain
// stored and deflated entries straight from the archive (entry_data.h, which
// checks size and CRC), encrypted and other ones through libzip, which checks
// the CRC (or the AES authentication code) at its end.
//
// Extraction writes only below the target folder:
//   - the name written is the cleaned central-header name (CleanEntryName);
//     refused names are skipped, stripped ones are extracted under the
//     cleaned name, each with a message;
//   - folders are opened one component at a time with O_NOFOLLOW
//     (OpenFolderBelow) and kept open for the entries that follow
//     (FolderCache), so no write passes through a symbolic link, also
//     not through one an earlier extraction left;
//   - a file is written under a temporary name in its final folder and
//     renamed to its real name only after its check passed; any failure
//     removes the temporary file, so nothing appears at the final path;
//   - a link entry is restored only when its target stays inside the target
//     folder; the mode never keeps setuid, setgid, sticky or world-writable bits.
//
// Messages about single entries are Progress events whose FileName is the
// entry's name as listed and whose MsgType says what happened:
//   rc::PartiallyDone  the name was stripped (absolute path, drive letter);
//                      the entry was still extracted under the cleaned name
//   rc::ArchiveError   the entry was skipped: its name is refused, or it is a
//                      link pointing outside the target folder
//   rc::AccessDenied   the entry was skipped: a link, file or folder on disk
//                      is in the way
//   rc::CrcError, rc::UnknownMethod, ...  its data failed; nothing written
// The action goes on with the next entry and ends with the first such code.
// Wrong password, a full disk, a cancel or a damaged archive end it at once.
//
// Runs on the calling thread; events and prompts run on it too.
#include "engine/zip/zip_extract.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>
#include <unordered_set>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <libdeflate.h>
#include <memory>

#include "engine/io/file_io.h"
#include "engine/io/folder_cache.h"
#include "engine/io/vector_state.h"
#include "engine/zip/zip_format.h"
#include "engine/zip/aes_auth.h"
#include "engine/cancel.h"
#include "engine/functions/quick_options.h"
#include "engine/io/replace_file.h"
#include "engine/zip/entry_data.h"
#include "engine/zip/entry_workers.h"
#include "engine/zip/zip_archive_reader.h"

namespace kx {

using namespace zipfmt;
namespace {

constexpr std::size_t kBufferSize = 256 * 1024;
constexpr std::uint64_t kReportEvery = 4u << 20;
constexpr std::size_t kMaxLinkTarget = 4095;
constexpr std::size_t kMaxTempStem = 200;
constexpr mode_t kDefaultFileMode = 0666;
constexpr mode_t kReadOnlyFileMode = 0444;
constexpr mode_t kAllowedModeBits = 0775;  // no set-id, no sticky bit, not writable by others
constexpr std::time_t kMinNewer = 2;       // a DOS time's resolution

// libzip's error of an entry's data, as the engine reports it. Data that
// fails to decompress or check after the traditional cipher most often means
// a wrong password: its check byte lets about one wrong password in 256 through.
Result DataError(zip_error_t* error, bool traditionalCipher) {
  switch (zip_error_code_zip(error)) {
    case ZIP_ER_WRONGPASSWD:
    case ZIP_ER_NOPASSWD: return rc::WrongPassword;
    case ZIP_ER_CRC:
    case ZIP_ER_ZLIB:
    case ZIP_ER_COMPRESSED_DATA: return traditionalCipher ? rc::WrongPassword : rc::CrcError;
    case ZIP_ER_COMPNOTSUPP:
    case ZIP_ER_ENCRNOTSUPP: return rc::UnknownMethod;
    case ZIP_ER_MEMORY: return rc::OutOfMemory;
    default: return rc::ArchiveError;
  }
}

// Results after which no further entry can succeed.
bool EndsAction(Result r) {
  return r == rc::WrongPassword || r == rc::Cancelled || r == rc::DiskFull || r == rc::OutOfMemory;
}

// The entry's modification time: the extended timestamp (UTC) when the
// central header has one, else the DOS date read as local time; -1 for none.
std::time_t EntryTime(zip_t* za, const ZipEntryRecord& e) {
  zip_uint16_t len = 0;
  const zip_uint8_t* ut = zip_file_extra_field_get_by_id(za, e.index, extra::kExtendedTimestamp, 0, &len, ZIP_FL_CENTRAL);
  if (ut && len >= timestamp::kSize && (ut[0] & timestamp::kHasMtime))
    return static_cast<std::time_t>(static_cast<std::int32_t>(Le32(ut + 1)));
  return ToLocalTime(e.info.modified);
}

mode_t FileMode(const ZipEntryRecord& e) {
  if (e.unixMode != 0) return (e.unixMode & kAllowedModeBits) | S_IRUSR;
  return (e.info.attributes & attr::ReadOnly) ? kReadOnlyFileMode : kDefaultFileMode;
}

// Progress events and the cancel check: one event per entry and one at
// least every kReportEvery bytes within an entry.
class ActionProgress {
 public:
  ActionProgress(KxZip& zip, std::int16_t operation, std::uint64_t total)
      : zip_(zip), operation_(operation), total_(total) {}

  bool StartEntry(const std::string& name) {
    name_ = name;
    Emit(rc::Ok);
    lastReport_ = done_;
    return !CancelRequested();
  }
  bool Advance(std::uint64_t bytes) {
    done_ += bytes;
    if (done_ - lastReport_ >= kReportEvery) {
      lastReport_ = done_;
      Emit(rc::Ok);
    }
    return !CancelRequested();
  }
  void Message(const std::string& name, Result code) {
    const std::string keep = name_;
    name_ = name;
    Emit(code);
    name_ = keep;
  }

 private:
  void Emit(Result code) {
    if (!zip_.Progress) return;
    ProgressEvent ev;
    ev.Operation = operation_;
    ev.MsgType = Code(code);
    ev.Percent = static_cast<std::int16_t>(total_ == 0 ? 100 : std::min<std::uint64_t>(done_ * 100 / total_, 100));
    ev.ZipFile = zip_.ZipFile;
    ev.FileName = name_;
    zip_.Report(ev);
    ClearUpperVectorState();  // the handler may have painted
  }

  KxZip& zip_;
  std::int16_t operation_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::uint64_t lastReport_ = 0;
  std::string name_;
};

// Entries encrypted with AES in its second form (AE-2) carry no CRC: the
// authentication code alone vouches for them. libzip 1.7 still compares the
// CRC field (0) with the data's CRC and fails every such entry, naming a
// failed authentication the same way. For deflated AE-2 entries libzip
// therefore only decrypts (it checks the code when the data ends) and we
// inflate; stored ones always pass libzip's CRC layer, so their code is
// checked by us first (CheckAesAuthentication) and libzip's complaint after
// exactly all bytes is then its quirk, not damage.
bool IsAesWithoutCrc(const ZipEntryRecord& e) {
  return e.encryptionMethod >= ZIP_EM_AES_128 && e.encryptionMethod <= ZIP_EM_AES_256 && e.info.crc == 0 &&
         e.info.size > 0;
}

constexpr int kRawDeflateWindow = -15;

// Raw inflate of the decrypted bytes of a deflated AE-2 entry.
class Inflater {
 public:
  Inflater() { ok_ = inflateInit2(&z_, kRawDeflateWindow) == Z_OK; }
  ~Inflater() {
    if (ok_) inflateEnd(&z_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Feeds n compressed bytes; emit receives the output in pieces.
  template <typename Emit>
  Result Feed(const char* data, std::size_t n, Emit&& emit) {
    if (!ok_) return rc::OutOfMemory;
    z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    z_.avail_in = static_cast<uInt>(n);
    while (z_.avail_in > 0 && !ended_) {
      z_.next_out = reinterpret_cast<Bytef*>(out_);
      z_.avail_out = sizeof out_;
      const int r = inflate(&z_, Z_NO_FLUSH);
      if (r == Z_STREAM_END) ended_ = true;
      else if (r != Z_OK && r != Z_BUF_ERROR) return rc::CrcError;
      const std::size_t got = sizeof out_ - z_.avail_out;
      if (got > 0) {
        if (const Result e = emit(out_, got); e != rc::Ok) return e;
      } else if (r == Z_BUF_ERROR) {
        return rc::CrcError;
      }
    }
    return rc::Ok;
  }
  bool ended() const { return ended_; }

 private:
  z_stream z_{};
  bool ok_ = false;
  bool ended_ = false;
  char out_[64 * 1024];
};

// Reads one entry to its end, handing the bytes to sink (which returns a
// result code); checks size, CRC or AES authentication on the way.
template <typename Sink>
Result ReadEntry(const ZipArchiveReader& reader, const ZipEntryRecord& e, const std::string& password,
                 ActionProgress& progress, std::vector<char>& buffer, Sink&& sink) {
  if (e.encryptionMethod == ZIP_EM_UNKNOWN) return rc::UnknownMethod;
  if (ReadsDirectly(e)) {
    std::atomic<std::uint64_t> done{0};
    const std::atomic<bool> stop{false};
    return ReadEntryData(
        reader.source(), e,
        [&](const char* data, std::size_t n) -> Result {
          if (const Result s = sink(data, n); s != rc::Ok) return s;
          return progress.Advance(n) ? rc::Ok : rc::Cancelled;
        },
        done, stop);
  }
  zip_t* za = reader.handle();
  const bool traditional = e.encryptionMethod == ZIP_EM_TRAD_PKWARE;
  const bool aesNoCrc = IsAesWithoutCrc(e);
  const bool inflateOurselves = aesNoCrc && e.info.method == method::kDeflate;
  const bool storedAesNoCrc = aesNoCrc && e.info.method == method::kStore;
  if (storedAesNoCrc) {
    if (password.empty()) return rc::WrongPassword;
    if (const Result a = CheckAesAuthentication(za, e.index, e.encryptionMethod, password); a != rc::Ok) return a;
  }
  const char* pw = e.info.encrypted && !password.empty() ? password.c_str() : nullptr;
  zip_file_t* zf = zip_fopen_index_encrypted(za, e.index, inflateOurselves ? ZIP_FL_COMPRESSED : 0, pw);
  if (!zf) {
    zip_error_t* err = zip_get_error(za);
    const int code = zip_error_code_zip(err);
    if (code == ZIP_ER_CRC || code == ZIP_ER_ZLIB || code == ZIP_ER_COMPRESSED_DATA) return DataError(err, traditional);
    return DataError(err, false);
  }
  Result r = rc::Ok;
  std::uint64_t total = 0;
  Inflater inflater;
  // Every decoded piece passes here: size guard, sink, progress and cancel.
  const auto deliver = [&](const char* data, std::size_t n) -> Result {
    total += n;
    // More bytes than the directory promised: a lying size, never written.
    if (total > e.info.size) return traditional ? rc::WrongPassword : rc::CrcError;
    if (const Result s = sink(data, n); s != rc::Ok) return s;
    return progress.Advance(n) ? rc::Ok : rc::Cancelled;
  };
  for (;;) {
    const zip_int64_t n = zip_fread(zf, buffer.data(), buffer.size());
    if (n < 0) {
      zip_error_t* err = zip_file_get_error(zf);
      const bool quirk = storedAesNoCrc && zip_error_code_zip(err) == ZIP_ER_CRC && total == e.info.size;
      if (!quirk) r = DataError(err, traditional);
      break;
    }
    if (n == 0) break;
    r = inflateOurselves ? inflater.Feed(buffer.data(), static_cast<std::size_t>(n), deliver)
                         : deliver(buffer.data(), static_cast<std::size_t>(n));
    if (r != rc::Ok) break;
  }
  if (r == rc::Ok && inflateOurselves && !inflater.ended()) r = rc::CrcError;
  if (r == rc::Ok && total != e.info.size) r = traditional ? rc::WrongPassword : rc::CrcError;
  zip_fclose(zf);
  return r;
}

// One pass of extraction or test over the chosen entries.
//
// With workers, the data of entries that can be read directly (entry_data.h)
// is read, checked and written to a temporary file the worker makes, while
// this thread goes ahead: it opens the folders of the entries that follow and
// decides whether each is written.
// It finishes the entries strictly in order, so the events of an entry (its
// start, a stripped name, progress, its result) come out as they do one entry
// at a time, and a file gets its final name only after its check passed. A
// question waits until every entry before it is finished; so do links,
// entries read through libzip (encrypted ones), and an entry whose path meets
// a file still in flight.
class EntryRunner {
 public:
  EntryRunner(KxZip& zip, ZipArchiveReader& reader, std::int16_t operation, std::uint64_t totalBytes,
              EntryWorkers* workers)
      : zip_(zip), reader_(reader), operation_(operation), progress_(zip, operation, totalBytes),
        buffer_(kBufferSize), workers_(workers) {}

  ~EntryRunner() { Abandon(); }

  Result Run(const std::vector<const ZipEntryRecord*>& chosen) {
    if (operation_ == action::Extract) {
      int err = 0;
      DirFd root = OpenTargetFolder(zip_.TargetDir, true, err);
      if (!root.ok()) return err == ENOENT || err == ENOTDIR ? rc::PathNotFound : ResultFromErrno(err);
      folders_ = std::make_unique<FolderCache>(std::move(root));
    }
    for (const ZipEntryRecord* e : chosen) {
      const Result r = GoesAhead(*e) ? Queue(*e) : InOrder(*e);
      if (EndsAction(r)) return r;
    }
    if (const Result r = Drain(); EndsAction(r)) return r;
    SetFolderTimes();
    return firstProblem_;
  }

 private:
  // An entry prepared ahead, waiting to be finished in order.
  struct Pending {
    const ZipEntryRecord* entry = nullptr;
    bool started = false;            // its start event is out
    bool asks = false;               // a question decides whether it is written
    Result early = rc::Ok;           // its result when no data is written
    std::size_t ticket = SIZE_MAX;   // its data work
    bool writes = false;             // a worker writes its temporary file
    std::shared_ptr<std::string> temp;  // that file's name, once the worker made it
    FolderCache::Folder parent;
    std::string leaf, shownPath;
    std::time_t when = -1;
  };

  static constexpr std::size_t kMaxAhead = 32;  // temporary files open at once
  static constexpr std::chrono::milliseconds kTick{20};

  void Note(const ZipEntryRecord& e, Result code) {
    progress_.Message(e.info.name, code);
    if (firstProblem_ == rc::Ok) firstProblem_ = code;
  }

  bool GoesAhead(const ZipEntryRecord& e) const {
    if (!workers_) return false;
    if (e.info.isFolder) return true;  // no data to read
    if (operation_ == action::Extract && !e.clean.usable()) return true;  // refused before any data
    return !e.isSymlink && ReadsDirectly(e);
  }

  // One entry the plain way, after everything before it is finished.
  Result InOrder(const ZipEntryRecord& e) {
    if (const Result r = Drain(); EndsAction(r)) return r;
    if (!progress_.StartEntry(e.info.name)) return rc::Cancelled;
    const Result r = operation_ == action::Extract ? Extract(e) : Test(e);
    if (EndsAction(r)) return r;
    if (r != rc::Ok) Note(e, r);
    return rc::Ok;
  }

  Result Queue(const ZipEntryRecord& e) {
    Pending p;
    p.entry = &e;
    if (operation_ == action::Test) {
      if (!e.info.isFolder) p.ticket = workers_->Submit(TestJob(e));
    } else {
      if (MeetsFileInFlight(e)) {
        if (const Result r = Drain(); EndsAction(r)) return r;
      }
      p.early = Prepare(e, p);
      if (p.asks) {
        if (const Result r = Drain(); EndsAction(r)) return r;
        if (!Start(p)) return rc::Cancelled;
        bool replace = false;
        if (const Result r = Ask(p.shownPath, replace); r != rc::Ok) return r;
        if (replace) p.early = Dispatch(e, p);
      }
      if (p.writes) inFlight_.insert(p.shownPath);
    }
    ahead_.push_back(std::move(p));
    while (ahead_.size() > kMaxAhead) {
      if (const Result r = FinishFront(); EndsAction(r)) return r;
    }
    return rc::Ok;
  }

  // Extract's steps up to the data, for an entry that goes ahead: its result
  // when nothing is to be written, else Dispatch's (or a question pending).
  Result Prepare(const ZipEntryRecord& e, Pending& p) {
    if (e.info.isFolder && e.clean.verdict == NameVerdict::Empty) return rc::Ok;
    if (!e.clean.usable()) return rc::ArchiveError;
    if (e.info.isFolder) return zip_.RestoreFolders ? MakeFolder(e) : rc::Ok;
    std::vector<std::string_view> folders;
    Place(e, folders, p.leaf, p.shownPath);
    int err = 0;
    p.parent = folders_->Open(folders, zip_.extractChoice() != ExtractChoice::Freshen, err);
    if (!p.parent) return zip_.extractChoice() == ExtractChoice::Freshen && err == ENOENT ? rc::Ok : BlockedOrFailed(err);
    p.when = EntryTime(reader_.handle(), e);
    bool replace = false;
    if (const Result r = Decide(p.parent->get(), p.leaf, p.when, replace, p.asks); r != rc::Ok) return r;
    return replace ? Dispatch(e, p) : rc::Ok;
  }

  // Hands the file to the workers: they create its temporary file (making
  // the file is much of its cost), write, check and close it; this thread
  // renames it when its turn comes. The worker holds the folder open.
  Result Dispatch(const ZipEntryRecord& e, Pending& p) {
    p.writes = true;
    p.temp = std::make_shared<std::string>();
    const ByteSource& src = reader_.source();
    p.ticket = workers_->Submit([&src, &e, parent = p.parent, leaf = p.leaf, temp = p.temp, when = p.when](
                                    std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
      int fd = -1;
      std::string name;
      if (const Result r = CreateTemporary(e, parent->get(), leaf, name, fd); r != rc::Ok) return r;
      *temp = std::move(name);  // ours from here on: removed unless it gets its final name
      Result r = ReadEntryData(
          src, e, [fd](const char* data, std::size_t n) { return ResultFromErrno(WriteAll(fd, data, n)); }, done, stop);
      if (r == rc::Ok) SetFileTime(fd, when);
      if (::close(fd) != 0 && r == rc::Ok) r = ResultFromErrno(errno);
      return r;
    });
    return rc::Ok;
  }

  EntryWorkers::Job TestJob(const ZipEntryRecord& e) {
    const ByteSource& src = reader_.source();
    return [&src, &e](std::atomic<std::uint64_t>& done, const std::atomic<bool>& stop) {
      return ReadEntryData(src, e, [](const char*, std::size_t) { return rc::Ok; }, done, stop);
    };
  }

  // A file still in flight at the entry's own path or at a folder above it:
  // the entry must wait until that file has its final name.
  bool MeetsFileInFlight(const ZipEntryRecord& e) const {
    if (inFlight_.empty() || !e.clean.usable()) return false;
    const std::string& path = e.clean.path;
    if (!zip_.RestoreFolders) {
      const std::size_t slash = path.rfind('/');
      return inFlight_.count(slash == std::string::npos ? path : path.substr(slash + 1)) > 0;
    }
    for (std::size_t end = path.size(); end != std::string::npos && end > 0; end = path.rfind('/', end - 1)) {
      if (inFlight_.count(path.substr(0, end))) return true;
    }
    return false;
  }

  // Its start event, and the stripped name's message; false on a cancel.
  bool Start(Pending& p) {
    p.started = true;
    if (!progress_.StartEntry(p.entry->info.name)) return false;
    if (p.entry->clean.verdict == NameVerdict::Stripped && operation_ == action::Extract)
      Note(*p.entry, rc::PartiallyDone);
    return true;
  }

  // The workers' bytes since the last report go to the progress in the
  // steps the events come in; a cancel seen there stops the workers, and
  // nothing more is reported.
  void ReportWorkerBytes() {
    const std::uint64_t now = workers_->bytesDone();
    while (!cancelSeen_) {
      const std::uint64_t step = std::min<std::uint64_t>(now - reportedBytes_, kReportEvery);
      reportedBytes_ += step;
      if (!progress_.Advance(step)) {
        cancelSeen_ = true;
        workers_->Stop();
      }
      if (reportedBytes_ == now) break;
    }
  }

  Result FinishFront() {
    Pending p = std::move(ahead_.front());
    ahead_.pop_front();
    if (p.writes) inFlight_.erase(p.shownPath);
    Result r = p.early;
    if (!p.started && !Start(p)) r = rc::Cancelled;
    if (p.ticket != SIZE_MAX) {
      if (r == rc::Cancelled) workers_->Stop();
      const Result data = workers_->Wait(p.ticket, kTick, [this] { ReportWorkerBytes(); });
      ReportWorkerBytes();
      if (r == rc::Ok) r = data;
      if (r == rc::Ok && CancelRequested()) r = rc::Cancelled;
    }
    if (p.temp && !p.temp->empty()) {
      const int folder = p.parent->get();
      if (r == rc::Ok && ::renameat(folder, p.temp->c_str(), folder, p.leaf.c_str()) != 0) r = ResultFromErrno(errno);
      if (r != rc::Ok) ::unlinkat(folder, p.temp->c_str(), 0);
    }
    if (EndsAction(r)) return r;
    if (r != rc::Ok) Note(*p.entry, r);
    return rc::Ok;
  }

  Result Drain() {
    while (!ahead_.empty()) {
      if (const Result r = FinishFront(); EndsAction(r)) return r;
    }
    return rc::Ok;
  }

  // After an action-ending result: the entries still ahead are dropped and
  // their temporary files removed; none gets its final name.
  void Abandon() {
    if (ahead_.empty()) return;
    workers_->Stop();
    for (Pending& p : ahead_) {
      if (p.ticket != SIZE_MAX) workers_->Wait(p.ticket, kTick, nullptr);
      if (p.temp && !p.temp->empty()) ::unlinkat(p.parent->get(), p.temp->c_str(), 0);
    }
    ahead_.clear();
    inFlight_.clear();
  }

  Result Test(const ZipEntryRecord& e) {
    if (e.info.isFolder) return rc::Ok;
    return ReadEntry(reader_, e, zip_.Password, progress_, buffer_, [](const char*, std::size_t) { return rc::Ok; });
  }

  // The folders below the target, the file name and the path as shown.
  void Place(const ZipEntryRecord& e, std::vector<std::string_view>& folders, std::string& leaf,
             std::string& shownPath) const {
    folders = PathComponents(e.clean.path);
    leaf.assign(folders.back());
    folders.pop_back();
    if (!zip_.RestoreFolders) folders.clear();
    shownPath = zip_.RestoreFolders ? e.clean.path : leaf;
  }

  Result Extract(const ZipEntryRecord& e) {
    // "./" names the target folder itself (bsdtar stores it): nothing to do.
    if (e.info.isFolder && e.clean.verdict == NameVerdict::Empty) return rc::Ok;
    if (!e.clean.usable()) return rc::ArchiveError;
    if (e.clean.verdict == NameVerdict::Stripped) Note(e, rc::PartiallyDone);
    if (e.info.isFolder) return zip_.RestoreFolders ? MakeFolder(e) : rc::Ok;
    std::vector<std::string_view> folders;
    std::string leaf, shownPath;
    Place(e, folders, leaf, shownPath);

    // Freshening never makes folders: a missing folder holds no file to freshen.
    int err = 0;
    const FolderCache::Folder parent = folders_->Open(folders, zip_.extractChoice() != ExtractChoice::Freshen, err);
    if (!parent) return zip_.extractChoice() == ExtractChoice::Freshen && err == ENOENT ? rc::Ok : BlockedOrFailed(err);
    const std::time_t when = EntryTime(reader_.handle(), e);
    bool replace = false, ask = false;
    if (const Result r = Decide(parent->get(), leaf, when, replace, ask); r != rc::Ok) return r;
    if (ask) {
      if (const Result r = Ask(shownPath, replace); r != rc::Ok) return r;
    }
    if (!replace) return rc::Ok;
    return e.isSymlink ? WriteLink(e, parent->get(), leaf, shownPath, when) : WriteFile(e, parent->get(), leaf, when);
  }

  // ENOTDIR/ELOOP on the way: a file or a link sits where a folder should be.
  static Result BlockedOrFailed(int err) {
    if (err == ENOTDIR || err == ELOOP || err == EEXIST || err == EISDIR) return rc::AccessDenied;
    return ResultFromErrno(err);
  }

  Result MakeFolder(const ZipEntryRecord& e) {
    if (zip_.extractChoice() == ExtractChoice::Freshen) return rc::Ok;
    int err = 0;
    if (!folders_->Open(PathComponents(e.clean.path), true, err)) return BlockedOrFailed(err);
    folderTimes_.emplace_back(e.clean.path, EntryTime(reader_.handle(), e));
    return rc::Ok;
  }

  // Whether the entry is written (replace = true), by ExtractMode and
  // OverwriteMode; ask = true when the user is to decide (Ask).
  Result Decide(int parentFd, const std::string& leaf, std::time_t when, bool& replace, bool& ask) {
    replace = false;
    ask = false;
    struct stat st {};
    if (::fstatat(parentFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) return ResultFromErrno(errno);
      replace = zip_.extractChoice() != ExtractChoice::Freshen;  // only files that exist
      return rc::Ok;
    }
    if (S_ISDIR(st.st_mode)) return rc::AccessDenied;  // never replace a folder by a file
    const bool diskOlder = when >= 0 && when - st.st_mtime >= kMinNewer;
    if (zip_.extractChoice() != ExtractChoice::All && !diskOlder) return rc::Ok;
    switch (zip_.overwrite()) {
      case Overwrite::Always: replace = true; return rc::Ok;
      case Overwrite::Never: return rc::Ok;
      default: ask = true; return rc::Ok;
    }
  }

  // rc::Cancelled when the user cancels at the question.
  Result Ask(const std::string& shownPath, bool& replace) {
    replace = false;
    if (!zip_.Prompt) return rc::Ok;  // nobody to ask: keep the file
    PromptEvent ev;
    ev.Operation = operation_;
    ev.MsgType = prompt::Overwrite;
    ev.ZipFile = zip_.ZipFile;
    ev.FileName = zip_.TargetDir.empty() ? shownPath : zip_.TargetDir + "/" + shownPath;
    ev.Reply = reply::No;
    zip_.Prompt(ev);
    ClearUpperVectorState();
    if (ev.Reply == reply::Cancel) return rc::Cancelled;
    replace = ev.Reply == reply::Yes;
    return rc::Ok;
  }

  // ".<name>.kxtmp-XXXXXX" in the file's own folder, so the final rename
  // stays on one file system and a leftover is recognisably ours. Any thread.
  static std::string TempName(const std::string& leaf) {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    thread_local std::mt19937 random(std::random_device{}());
    std::string name = "." + leaf.substr(0, kMaxTempStem) + ".kxtmp-";
    for (int i = 0; i < 6; ++i) name += kDigits[random() % (sizeof kDigits - 1)];
    return name;
  }

  // Any thread: the workers make the temporary files of the entries ahead.
  static Result CreateTemporary(const ZipEntryRecord& e, int parentFd, const std::string& leaf, std::string& temp,
                                int& fd) {
    fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
      temp = TempName(leaf);
      fd = ::openat(parentFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, FileMode(e));
      if (fd < 0 && errno != EEXIST) return ResultFromErrno(errno);
    }
    return fd < 0 ? rc::AccessDenied : rc::Ok;
  }

  static void SetFileTime(int fd, std::time_t when) {
    if (when < 0) return;
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::futimens(fd, times);
  }

  Result WriteFile(const ZipEntryRecord& e, int parentFd, const std::string& leaf, std::time_t when) {
    std::string temp;
    int fd = -1;
    if (const Result r = CreateTemporary(e, parentFd, leaf, temp, fd); r != rc::Ok) return r;
    Result r = ReadEntry(reader_, e, zip_.Password, progress_, buffer_,
                         [fd](const char* data, std::size_t n) { return ResultFromErrno(WriteAll(fd, data, n)); });
    if (r == rc::Ok) SetFileTime(fd, when);
    if (::close(fd) != 0 && r == rc::Ok) r = ResultFromErrno(errno);
    if (r == rc::Ok && ::renameat(parentFd, temp.c_str(), parentFd, leaf.c_str()) != 0) r = ResultFromErrno(errno);
    if (r != rc::Ok) ::unlinkat(parentFd, temp.c_str(), 0);
    return r;
  }

  Result WriteLink(const ZipEntryRecord& e, int parentFd, const std::string& leaf, const std::string& shownPath,
                   std::time_t when) {
    if (e.info.size > kMaxLinkTarget) return rc::ArchiveError;
    std::string target;
    const Result r = ReadEntry(reader_, e, zip_.Password, progress_, buffer_,
                               [&target](const char* data, std::size_t n) {
                                 target.append(data, n);
                                 return rc::Ok;
                               });
    if (r != rc::Ok) return r;
    if (!SymlinkStaysInside(shownPath, target)) return rc::ArchiveError;
    std::string temp;
    for (int attempt = 0; attempt < 16; ++attempt) {
      temp = TempName(leaf);
      if (::symlinkat(target.c_str(), parentFd, temp.c_str()) == 0) break;
      if (errno != EEXIST) return ResultFromErrno(errno);
      temp.clear();
    }
    if (temp.empty()) return rc::AccessDenied;
    if (when >= 0) {
      const struct timespec times[2] = {{when, 0}, {when, 0}};
      ::utimensat(parentFd, temp.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    if (::renameat(parentFd, temp.c_str(), parentFd, leaf.c_str()) != 0) {
      const int err = errno;
      ::unlinkat(parentFd, temp.c_str(), 0);
      return ResultFromErrno(err);
    }
    return rc::Ok;
  }

  // Last, since writing into a folder changes its time; deeper folders first.
  void SetFolderTimes() {
    std::sort(folderTimes_.begin(), folderTimes_.end(), [](auto& a, auto& b) { return a.first > b.first; });
    for (const auto& [path, when] : folderTimes_) {
      if (when < 0) continue;
      int err = 0;
      const FolderCache::Folder dir = folders_->Open(PathComponents(path), false, err);
      const struct timespec times[2] = {{when, 0}, {when, 0}};
      if (dir) ::futimens(dir->get(), times);
    }
  }

  KxZip& zip_;
  ZipArchiveReader& reader_;
  std::int16_t operation_;
  ActionProgress progress_;
  std::vector<char> buffer_;
  EntryWorkers* workers_;                 // none: every entry in order on this thread
  std::unique_ptr<FolderCache> folders_;  // below the target folder, once it is open
  std::deque<Pending> ahead_;
  std::unordered_set<std::string> inFlight_;  // shown paths of the files ahead
  std::uint64_t reportedBytes_ = 0;
  bool cancelSeen_ = false;
  std::vector<std::pair<std::string, std::time_t>> folderTimes_;
  Result firstProblem_ = rc::Ok;
};

Result RunAction(KxZip& zip, std::int16_t operation) {
  ClearCancel();
  ClearUpperVectorState();
  ZipArchiveReader reader;
  if (const Result r = reader.Open(zip, true); r != rc::Ok) {
    reader.ReportProblem(zip, operation, r);
    return r;
  }
  const std::vector<std::string> patterns = SplitFileSpec(zip.FileSpec);
  std::vector<const ZipEntryRecord*> chosen;
  std::uint64_t totalBytes = 0;
  for (const auto& e : reader.entries()) {
    if (!MatchesFileSpec(e.info.name, patterns)) continue;
    chosen.push_back(&e);
    if (!e.info.isFolder) totalBytes += std::min<std::uint64_t>(e.info.size, UINT64_MAX - totalBytes);
  }
  if (chosen.empty()) return rc::NoFiles;
  // The workers outlive the runner, whose jobs refer to the reader and the entries.
  const unsigned cores = std::thread::hardware_concurrency();
  std::unique_ptr<EntryWorkers> workers;
  if (cores > 1 && chosen.size() > 1) workers = std::make_unique<EntryWorkers>(std::min(cores, 4u));
  EntryRunner runner(zip, reader, operation, totalBytes, workers.get());
  return runner.Run(chosen);
}

}  // namespace

Result ExtractEntries(KxZip& zip) { return RunAction(zip, action::Extract); }
Result TestEntries(KxZip& zip) { return RunAction(zip, action::Test); }

}  // namespace kx
