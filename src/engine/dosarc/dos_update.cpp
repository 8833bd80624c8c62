#include "engine/dosarc/dos_update.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/codecs/member_codec.h"
#include "engine/dosarc/dos_add_collect.h"
#include "engine/dosarc/dos_writer.h"
#include "engine/io/file_io.h"
#include "engine/io/replace_file.h"

namespace kx::dosarc {
namespace {

constexpr std::size_t kReadChunk = 256 * 1024;
constexpr std::uint64_t kMaxSize = 0xffffffffu;

std::string FileNameOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes a new archive beside target through `body`, then puts it in place.
template <typename Body>
Result WriteBeside(const std::string& target, Body&& body) {
  RemoveStaleTemporaries(target);
  std::string temp;
  const int fd = CreateTemporaryBeside(target, temp);
  if (fd < 0) return ResultFromErrno(errno);
  FileArchiveOut out(fd);
  Result r = body(out);
  if (r == rc::Ok && !out.Flush()) r = ResultFromErrno(out.error(), rc::DiskFull);
  if (r != rc::Ok) {
    ::close(fd);
    ::unlink(temp.c_str());
    return r;
  }
  const int err = CommitTemporary(fd, temp, target, ModeForTarget(target));
  return err == 0 ? rc::Ok : ResultFromErrno(err);
}

Result OutputResult(const ArchiveOut& out) {
  return out.error() != 0 ? ResultFromErrno(out.error(), rc::DiskFull) : rc::ArchiveError;
}

// One file's bytes through the read function the encoders take, with its
// checksum and size counted on the way.
class FileReader {
 public:
  FileReader(int fd, ArchiveKind kind) : fd_(fd), kind_(kind), crc_(kind) {}

  std::size_t Read(std::uint8_t* buf, std::size_t n) {
    const ssize_t got = ReadSome(fd_, buf, n);
    if (got < 0) {
      err_ = errno;
      return SIZE_MAX;
    }
    crc_.Add(buf, std::size_t(got));
    size_ += std::uint64_t(got);
    return std::size_t(got);
  }
  // Back to the start for a second pass.
  bool Rewind() {
    crc_ = codec::MemberCrc(kind_);
    size_ = 0;
    if (::lseek(fd_, 0, SEEK_SET) == 0) return true;
    err_ = errno;
    return false;
  }
  std::uint32_t crc() const { return crc_.Value(); }
  std::uint64_t size() const { return size_; }
  int err() const { return err_; }

 private:
  int fd_;
  ArchiveKind kind_;
  codec::MemberCrc crc_;
  std::uint64_t size_ = 0;
  int err_ = 0;
};

// Copies the file as it is after the header.
codec::Status StoreFile(FileReader& reader, ArchiveOut& out, std::uint64_t& packed) {
  std::vector<std::uint8_t> chunk(kReadChunk);
  packed = 0;
  for (;;) {
    const std::size_t got = reader.Read(chunk.data(), chunk.size());
    if (got == SIZE_MAX) return codec::Status::InputFailed;
    if (got == 0) return codec::Status::Ok;
    if (!out.Write(chunk.data(), got)) return codec::Status::OutputFailed;
    packed += got;
  }
}

// Header placeholder, packed data (stored when packing does not pay), then
// the header again with what is known now.
Problem AddOne(ArchiveKind kind, const DosWriter& writer, const FileToAdd& f, ArchiveOut& out, int& err) {
  const int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    err = errno;
    return Problem::ReadFailed;
  }
  NewMember m;
  m.storedName = f.storedName;
  m.unixTime = f.unixTime;
  m.unixMode = f.unixMode;
  const std::uint64_t at = out.Size();
  const std::vector<std::uint8_t> placeholder = writer.MemberHeader(m, at);
  Problem p = Problem::None;
  FileReader reader(fd, kind);
  if (!out.Write(placeholder.data(), placeholder.size())) p = Problem::WriteFailed;
  const std::uint64_t dataAt = out.Size();
  codec::Status s = codec::Status::OutputFailed;
  if (p == Problem::None) {
    s = codec::EncodeMember(
        kind, [&](std::uint8_t* buf, std::size_t n) { return reader.Read(buf, n); },
        [&](const std::uint8_t* data, std::size_t n) { return out.Write(data, n); }, m.method, m.packed);
    const bool store = s == codec::Status::Unsupported || (s == codec::Status::Ok && m.packed >= reader.size() &&
                                                          !codec::IsStoredMethod(kind, m.method));
    if (store) {
      m.method = codec::StoredMethod(kind);
      s = out.Truncate(dataAt) && reader.Rewind() ? StoreFile(reader, out, m.packed) : codec::Status::OutputFailed;
    }
  }
  if (p == Problem::None && s != codec::Status::Ok) {
    p = s == codec::Status::InputFailed ? Problem::ReadFailed : Problem::WriteFailed;
    err = s == codec::Status::InputFailed ? reader.err() : out.error();
  }
  ::close(fd);
  if (p != Problem::None) return p;
  if (reader.size() > kMaxSize) return Problem::TooLarge;
  m.size = reader.size();
  m.crc = reader.crc();
  const std::vector<std::uint8_t> header = writer.MemberHeader(m, at);
  if (header.size() != placeholder.size() || !out.Patch(at, header.data(), header.size())) {
    err = out.error();
    return Problem::WriteFailed;
  }
  return Problem::None;
}

FileId IdOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {st.st_dev, st.st_ino};
}

}  // namespace

bool RewriteWithout(const DosArchive& archive, const std::vector<bool>& drop, ArchiveOut& out) {
  const auto writer = MakeWriter(archive.kind, &archive, std::string(), 0);
  return writer && writer->Begin(out) && writer->CopyItems(out, drop) && writer->End(out);
}

Result DeleteMembers(const std::string& archivePath, const std::vector<std::string>& names, const ReportFn& report) {
  const std::string target = ResolveArchivePath(archivePath);
  DosArchive a;
  if (const Result r = OpenDosArchive(target, a); r != rc::Ok) return r;
  if (DataOverlaps(a)) return rc::ArchiveError;
  std::vector<std::string> missing;
  const std::vector<std::size_t> chosen = ChooseItems(a.layout, names, missing);
  if (!missing.empty()) {
    for (const auto& name : missing) {
      if (report) report({name, Problem::NotFound, 0});
    }
    return rc::NoFiles;
  }
  std::vector<bool> drop(a.layout.items.size(), false);
  for (std::size_t i : chosen) drop[i] = true;
  const Result r = WriteBeside(target, [&](ArchiveOut& out) {
    return RewriteWithout(a, drop, out) ? rc::Ok : OutputResult(out);
  });
  if (r == rc::Ok && report) {
    for (std::size_t i : chosen) report({a.layout.items[i].entry.name, Problem::None, 0});
  }
  return r;
}

Result AddFiles(const std::string& archivePath, const std::vector<std::string>& names, const ReportFn& report) {
  const std::string target = ResolveArchivePath(archivePath);
  DosArchive existing;
  const Result opened = OpenDosArchive(target, existing);
  const bool exists = opened != rc::FileNotFound;
  if (exists && opened != rc::Ok) return opened;
  if (exists && DataOverlaps(existing)) return rc::ArchiveError;
  const ArchiveKind kind = exists ? existing.kind : KindFromExtension(target);
  if (!IsDosKind(kind)) return rc::UnknownArchiveType;
  const std::int64_t now = std::time(nullptr);
  const auto writer = MakeWriter(kind, exists ? &existing : nullptr, FileNameOf(target), now);

  std::vector<FileToAdd> files;
  if (!CollectFiles(kind, *writer, names, IdOf(target), files, report)) return rc::PartiallyDone;

  // An entry of the same name as a new one makes way for it.
  std::vector<bool> drop(existing.layout.items.size(), false);
  for (std::size_t i = 0; i < drop.size(); ++i) {
    const auto& item = existing.layout.items[i];
    for (const FileToAdd& f : files) drop[i] = drop[i] || (item.listed && item.entry.name == f.entryName);
  }
  std::vector<Report> done;
  const Result r = WriteBeside(target, [&](ArchiveOut& out) -> Result {
    if (!writer->Begin(out) || (exists && !writer->CopyItems(out, drop))) return OutputResult(out);
    for (const FileToAdd& f : files) {
      int err = 0;
      const Problem p = AddOne(kind, *writer, f, out, err);
      if (p != Problem::None) {
        if (report) report({f.path, p, err});
        return p == Problem::WriteFailed ? OutputResult(out) : rc::PartiallyDone;
      }
      done.push_back({f.entryName, Problem::None, 0});
    }
    return writer->End(out) ? rc::Ok : OutputResult(out);
  });
  if (r == rc::Ok && report) {
    for (const Report& d : done) report(d);
  }
  return r;
}

}  // namespace kx::dosarc
