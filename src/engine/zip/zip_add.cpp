// Action 2, add/compare: new files are added, entries whose file on disk is
// newer are replaced, everything else is copied unchanged.
//
// Every file is compressed ahead by the DeflatePool on every core while libzip
// writes: small files whole, handed to libzip finished; larger ones in chunks
// that libzip copies one after another, so memory stays bounded and both cores
// share even a single large file. Symbolic links to files are followed (the
// entry holds the file they point to); links to folders inside an added
// folder are not followed.
#include "engine/zip/zip_add.h"

#include <algorithm>
#include <memory>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

#include "engine/zip/zip_format.h"
#include "engine/cancel.h"
#include "engine/io/vector_state.h"
#include "engine/io/cp437.h"
#include "engine/zip/deflate_pool.h"
#include "engine/functions/quick_options.h"
#include "engine/zip/zip_add_collect.h"
#include "engine/zip/update_session.h"
#include "engine/zip/zip_entry_name.h"
#include "engine/zip/zip_sources.h"

namespace kx {

using namespace zipfmt;
namespace {

// Files above kWholeFileLimit are compressed in chunks of kChunkSize. A chunk
// boundary costs a few bytes and the matches across it; smaller chunks keep
// both cores busy to the end of the last file and less memory in flight.
constexpr std::uint64_t kWholeFileLimit = 4ull << 20;
constexpr std::uint64_t kChunkSize = 2ull << 20;
constexpr std::uint64_t kPoolMemoryBudget = 64ull << 20;
constexpr std::int32_t kMinVolumeSize = 1024;

// libdeflate's level for each setting; a number below Fastest counts as
// Fastest, anything above Best as Best. Normal packs no looser than zlib's
// default 6 does; libdeflate's 6 does not quite on C source, its 7 does.
int LevelFor(Compression compression) {
  if (compression <= Compression::Fastest) return 1;
  switch (compression) {
    case Compression::Fast: return 4;
    case Compression::Normal: return 7;
    default: return 9;
  }
}

// One file or folder to write, and where it goes.
struct PlannedEntry {
  const SourceItem* item = nullptr;
  zip_int64_t replaces = -1;  // index of the entry it replaces, -1 for a new one
};

std::time_t EvenSeconds(std::time_t t) { return t - (t % 2); }

// UTF-8 names get the UTF-8 flag (libzip sets it when a name is not plain
// ASCII); names on disk that are not UTF-8 are stored as they are.
zip_flags_t NameEncoding(const std::string& name) { return IsValidUtf8(name) ? ZIP_FL_ENC_UTF_8 : ZIP_FL_ENC_GUESS; }

std::uint32_t ExternalAttributes(const SourceItem& item) {
  std::uint32_t dos = item.isFolder ? attr::Folder : attr::Archive;
  if ((item.mode & 0222) == 0) dos |= attr::ReadOnly;
  return (static_cast<std::uint32_t>(item.mode & 0xffff) << 16) | dos;
}

void SetExtendedTimestamp(zip_t* za, zip_uint64_t index, std::time_t mtime) {
  const auto t = static_cast<std::uint32_t>(mtime);
  const zip_uint8_t field[5] = {timestamp::kHasMtime, zip_uint8_t(t), zip_uint8_t(t >> 8), zip_uint8_t(t >> 16),
                                zip_uint8_t(t >> 24)};
  zip_file_extra_field_set(za, index, extra::kExtendedTimestamp, ZIP_EXTRA_FIELD_NEW, field, sizeof field,
                           ZIP_FL_LOCAL | ZIP_FL_CENTRAL);
}

// The stored entries by their one name (zip_entry_name.h), the names the
// list shows; of equal names the first counts. libzip's table must have the
// same count, so an index means the same entry in both.
Result ExistingEntries(const UpdateSession& session, CodePage page, std::unordered_map<std::string, zip_int64_t>& out) {
  const zip_int64_t count = zip_get_num_entries(session.archive(), 0);
  if (count <= 0) return rc::Ok;
  std::vector<std::string> names;
  if (const Result r = DecideNames(FileSource(session.path()), page, names); r != rc::Ok) return r;
  if (static_cast<zip_int64_t>(names.size()) != count) return rc::ArchiveError;
  for (std::size_t i = 0; i < names.size(); ++i) out.emplace(std::move(names[i]), static_cast<zip_int64_t>(i));
  return rc::Ok;
}

// Decides per collected item: add, replace (file newer by at least the 2 s of
// a DOS time) or leave alone.
std::vector<PlannedEntry> PlanEntries(zip_t* za, const std::unordered_map<std::string, zip_int64_t>& existingEntries,
                                      const std::vector<SourceItem>& items) {
  std::vector<PlannedEntry> replaced, added;
  for (const auto& item : items) {
    const auto found = existingEntries.find(item.storedName);
    const zip_int64_t existing = found == existingEntries.end() ? -1 : found->second;
    if (existing < 0) {
      added.push_back({&item, -1});
      continue;
    }
    if (item.isFolder) continue;
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(existing), 0, &st) != 0) continue;
    if ((st.valid & ZIP_STAT_MTIME) && item.mtime - st.mtime < 2) continue;
    replaced.push_back({&item, existing});
  }
  // libzip writes in index order; the pool's tickets must follow it.
  std::sort(replaced.begin(), replaced.end(), [](auto& a, auto& b) { return a.replaces < b.replaces; });
  replaced.insert(replaced.end(), added.begin(), added.end());
  return replaced;
}

class EntryWriter {
 public:
  EntryWriter(zip_t* za, const KxZip& zip, DeflatePool& pool, UpdateProgress& progress)
      : za_(za), zip_(zip), pool_(pool), progress_(progress) {}

  // Queues the pool's work for the item at `index` of the collected items.
  // The pool's tickets must follow the order in which libzip writes.
  void Queue(std::size_t index, const SourceItem& item) {
    if (tickets_.size() <= index) tickets_.resize(index + 1);
    Tickets& t = tickets_[index];
    if (item.isFolder) return;
    if (item.size <= kWholeFileLimit) {
      t.first = pool_.Add(item.path, item.size);
      return;
    }
    t.chunks = static_cast<std::size_t>((item.size + kChunkSize - 1) / kChunkSize);
    for (std::size_t c = 0; c < t.chunks; ++c) {
      const std::uint64_t at = c * kChunkSize;
      const std::size_t ticket = pool_.AddChunk(item.path, at, std::min(kChunkSize, item.size - at), c + 1 == t.chunks);
      if (c == 0) t.first = ticket;
    }
  }

  // Queues the whole plan, in the order libzip writes it.
  void QueueCompression(const std::vector<PlannedEntry>& plan, const std::vector<SourceItem>& items) {
    for (const auto& p : plan) Queue(static_cast<std::size_t>(p.item - items.data()), *p.item);
  }

  Result Write(const std::vector<PlannedEntry>& plan, const std::vector<SourceItem>& items) {
    for (const auto& p : plan) {
      if (const Result r = WriteOne(p, tickets_[static_cast<std::size_t>(p.item - items.data())]); r != rc::Ok)
        return r;
    }
    return rc::Ok;
  }

 private:
  // The pool's tickets of one entry: none for a folder, one for a whole file,
  // `chunks` consecutive ones from `first` for a file in chunks.
  struct Tickets {
    std::size_t first = SIZE_MAX;
    std::size_t chunks = 0;
  };

  Result WriteOne(const PlannedEntry& p, const Tickets& tickets) {
    const SourceItem& item = *p.item;
    zip_int64_t index = p.replaces;
    if (item.isFolder) {
      index = zip_dir_add(za_, item.storedName.c_str(), NameEncoding(item.storedName));
      if (index < 0) return Failed();
    } else {
      PooledEntryIndex* pooledIndex = nullptr;
      // The chunked file learns its output position once it has been added.
      auto position = std::make_shared<std::size_t>(SIZE_MAX);
      UpdateProgress& progress = progress_;
      zip_source_t* src =
          tickets.chunks == 0
              ? MakePooledEntrySource(za_, pool_, tickets.first, item.mtime, pooledIndex)
              : MakeChunkedEntrySource(za_, pool_, tickets.first, tickets.chunks, item.size, item.mtime,
                                       [position, &progress](std::uint64_t done) {
                                         return progress.InsideEntry(*position, done);
                                       });
      if (!src) return Failed();
      int ok = 0;
      if (index >= 0) {
        ok = zip_file_replace(za_, static_cast<zip_uint64_t>(index), src, 0);
      } else {
        index = zip_file_add(za_, item.storedName.c_str(), src, NameEncoding(item.storedName));
        ok = index >= 0 ? 0 : -1;
      }
      if (ok != 0) {
        zip_source_free(src);
        return Failed();
      }
      const auto idx = static_cast<zip_uint64_t>(index);
      *position = static_cast<std::size_t>(idx);  // nothing is deleted in an add: index = output position
      if (pooledIndex) pooledIndex->value = idx;
      // Default method: libzip then takes the source's deflate method and copies the data.
      zip_set_file_compression(za_, idx, ZIP_CM_DEFAULT, 0);
      if (!zip_.Password.empty() &&
          zip_file_set_encryption(za_, idx, ZIP_EM_AES_256, zip_.Password.c_str()) != 0)
        return Failed();
    }
    const auto idx = static_cast<zip_uint64_t>(index);
    zip_file_set_mtime(za_, idx, item.mtime, 0);
    zip_file_set_external_attributes(za_, idx, 0, ZIP_OPSYS_UNIX, ExternalAttributes(item));
    SetExtendedTimestamp(za_, idx, item.mtime);
    return rc::Ok;
  }

  Result Failed() {
    zip_error_t* e = zip_get_error(za_);
    return ResultFromZipError(zip_error_code_zip(e), zip_error_code_system(e));
  }

  zip_t* za_;
  const KxZip& zip_;
  DeflatePool& pool_;
  UpdateProgress& progress_;
  std::vector<Tickets> tickets_;  // by index of the collected item
};

// Names and byte weights in the order libzip writes the entries.
void DescribeOutput(zip_t* za, const std::vector<PlannedEntry>& plan, UpdateProgress& progress,
                    std::time_t& newest) {
  const zip_int64_t count = zip_get_num_entries(za, 0);
  std::vector<const SourceItem*> fresh(static_cast<std::size_t>(std::max<zip_int64_t>(count, 0)), nullptr);
  for (const auto& p : plan) {
    const zip_int64_t idx = p.replaces >= 0 ? p.replaces : zip_name_locate(za, p.item->storedName.c_str(), 0);
    if (idx >= 0 && idx < count) fresh[static_cast<std::size_t>(idx)] = p.item;
  }
  for (zip_int64_t i = 0; i < count; ++i) {
    const SourceItem* item = fresh[static_cast<std::size_t>(i)];
    if (item) {
      progress.AddEntry(item->storedName, item->size);
      newest = std::max(newest, EvenSeconds(item->mtime));
      continue;
    }
    zip_stat_t st;
    if (zip_stat_index(za, static_cast<zip_uint64_t>(i), ZIP_FL_UNCHANGED, &st) != 0) continue;
    progress.AddEntry(st.name ? st.name : "", (st.valid & ZIP_STAT_COMP_SIZE) ? st.comp_size : 0);
    if (st.valid & ZIP_STAT_MTIME) newest = std::max(newest, st.mtime);
  }
}

// Deletes the stored files (MoveFiles), then the folders stored that are now empty.
void RemoveStoredSources(const std::vector<PlannedEntry>& plan) {
  std::vector<std::string> folders;
  for (const auto& p : plan) {
    if (p.item->isFolder) folders.push_back(p.item->path);
    else ::unlink(p.item->path.c_str());
  }
  std::sort(folders.rbegin(), folders.rend());  // deeper folders first
  for (const auto& f : folders) ::rmdir(f.c_str());
}

void SetArchiveTime(const std::vector<std::string>& files, std::time_t when) {
  const struct timespec times[2] = {{0, UTIME_OMIT}, {when, 0}};
  for (const auto& f : files) ::utimensat(AT_FDCWD, f.c_str(), times, 0);
}

}  // namespace

Result AddFiles(KxZip& zip) {
  ClearCancel();
  ClearUpperVectorState();
  const std::vector<std::string> requested = SplitFileSpec(zip.FileSpec);
  if (zip.ZipFile.empty() || requested.empty()) return rc::FileNotFound;
  if (zip.MultiVolume && zip.VolumeSize < kMinVolumeSize) return rc::BadSwitch;

  // The pool and the progress outlive the session: libzip's sources refer to
  // them until the session has closed or discarded the archive.
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
  DeflatePool pool(LevelFor(zip.compression()), threads, kPoolMemoryBudget);
  UpdateProgress progress(zip, action::Add);
  UpdateSession session;
  const std::uint64_t volumeSize = zip.MultiVolume ? static_cast<std::uint64_t>(zip.VolumeSize) : 0;
  if (const Result r = session.Open(zip.ZipFile, true, volumeSize); r != rc::Ok) return r;

  struct stat before {};
  const bool existed = ::stat(session.path().c_str(), &before) == 0;
  CollectOptions options;
  options.storePaths = zip.storePaths();
  options.recurse = zip.Recurse;
  options.longNames = zip.LongNames;
  if (existed) {
    options.skipDevice = before.st_dev;
    options.skipInode = before.st_ino;
  }
  EntryWriter writer(session.archive(), zip, pool, progress);
  // A new archive takes every item in the order collected (PlanEntries adds
  // them so), so its files are compressed while the rest is still collected.
  if (!existed) {
    options.onItem = [&writer](std::size_t index, const SourceItem& item) { writer.Queue(index, item); };
    pool.Start();
  }
  std::vector<SourceItem> items;
  if (const Result r = CollectSources(requested, options, items); r != rc::Ok) return r;
  if (!zip.LongNames) ApplyShortNames(items);

  std::unordered_map<std::string, zip_int64_t> existing;
  if (const Result r = ExistingEntries(session, zip.nameCodePage(), existing); r != rc::Ok) return r;
  const std::vector<PlannedEntry> plan = PlanEntries(session.archive(), existing, items);
  if (existed) {
    writer.QueueCompression(plan, items);
    pool.Start();
  }
  if (const Result r = writer.Write(plan, items); r != rc::Ok) return r;

  std::time_t newest = 0;
  DescribeOutput(session.archive(), plan, progress, newest);
  if (const Result r = session.Close(progress); r != rc::Ok) return r;
  if (!session.target().committed()) return rc::Ok;  // everything was up to date

  if (zip.MoveFiles) RemoveStoredSources(plan);
  const auto& written = session.target().writtenFiles();
  if (zip.archiveDate() == ArchiveDate::Keep && existed) SetArchiveTime(written, before.st_mtime);
  if (zip.archiveDate() == ArchiveDate::Newest && newest > 0) SetArchiveTime(written, newest);
  return rc::Ok;
}

}  // namespace kx
