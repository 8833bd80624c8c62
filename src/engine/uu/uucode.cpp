// UU coding. The encoded form, one file per "begin" block:
//
//   begin 644 name            mode in octal, then the file's name
//   M<60 characters>          length character, then 4 characters per 3 bytes
//   ...                       (45 bytes per line, the last line shorter)
//   `                         a line of length zero
//   end
//
// Each character carries six bits as 0x20 + value; the value 0 is written as
// "`" (0x60) so that no line ends in a blank that mail or editors might strip.
//
// Decisions kept here:
// - The encoder always writes mode 644, whatever the source's permissions, so
//   an encoded file never carries execute or set-id bits to another machine.
// - The decoder accepts "`" and " " for zero, CR LF line ends, trailing blanks,
//   missing characters at the end of a line (read as zero), text around the
//   blocks and several blocks in one input.
// - A name is reduced to its last component ("/" and "\" both separate); an
//   empty or dots-only result, one holding NUL, or one starting like our own
//   temporary files (".kxuu-") is refused (ArchiveError).
// - Output goes to a temporary file in the target folder, created with
//   O_CREAT|O_EXCL|O_NOFOLLOW, and is renamed to its name without replacing
//   anything (renameat2 RENAME_NOREPLACE) only once its "end" line was read. An
//   existing file or symlink of that name is left alone: AccessDenied, and the
//   remaining blocks are still decoded. The mode keeps only the owner's and the
//   read/execute bits of the block (never set-id, never writable by others).
//   A block without "end" leaves nothing behind: ArchiveError.
#include "engine/uu/uucode.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <random>
#include <string_view>

#include "engine/io/file_io.h"

namespace kx {
namespace {

// A file that cannot be written is refused access unless the disk is full.
Result WriteFailure(int err) { return ResultFromErrno(err, rc::AccessDenied); }

constexpr std::size_t kBytesPerLine = 45;
constexpr std::size_t kMaxKeptLine = 4096;  // longer lines are cut; no valid line comes close
constexpr char kZeroChar = '`';
constexpr unsigned kWrittenMode = 0644;
constexpr std::string_view kTempPrefix = ".kxuu-";  // reserved: decoded names never start with it

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string LastComponent(std::string_view path) {
  auto slash = path.find_last_of("/\\");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens a regular file for reading; -1 when it is missing or no regular file.
int OpenSource(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

// A new file under a temporary name in one folder. Owns the descriptor and the
// temporary name: unless Commit succeeds, the destructor removes the file.
// Failures are reported as result codes; the first write error is kept.
class PendingFile {
 public:
  ~PendingFile() { Discard(); }

  Result Create(const std::string& folder) {
    folder_ = folder;
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
      char name[32];
      std::snprintf(name, sizeof name, "%08x.tmp", static_cast<unsigned>(rd()));
      std::string path = folder + "/" + std::string(kTempPrefix) + name;
      fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (fd_ >= 0) {
        tempPath_ = path;
        return rc::Ok;
      }
      if (errno != EEXIST) return WriteFailure(errno);
    }
    return rc::AccessDenied;
  }

  void Write(const char* data, std::size_t n) {
    buffer_.append(data, n);
    if (buffer_.size() >= (1u << 16)) Flush();
  }

  std::uint64_t written() const { return written_ + buffer_.size(); }

  // Makes the file visible as folder/name. replace=false never touches an
  // existing entry of that name (file, folder or symlink).
  Result Commit(const std::string& name, bool replace, unsigned mode) {
    Flush();
    if (error_ != rc::Ok) return error_;
    if (::fchmod(fd_, mode) != 0 || ::close(fd_) != 0) {
      fd_ = -1;
      return WriteFailure(errno);
    }
    fd_ = -1;
    std::string target = folder_ + "/" + name;
    int done = replace ? ::rename(tempPath_.c_str(), target.c_str())
                       : ::renameat2(AT_FDCWD, tempPath_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (done != 0) return errno == EEXIST ? rc::AccessDenied : WriteFailure(errno);
    tempPath_.clear();
    return rc::Ok;
  }

  void Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty()) ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }

 private:
  void Flush() {
    if (error_ == rc::Ok) {
      if (const int err = WriteAll(fd_, buffer_.data(), buffer_.size())) error_ = WriteFailure(err);
      else written_ += buffer_.size();
    }
    buffer_.clear();
  }

  std::string folder_;
  std::string tempPath_;
  std::string buffer_;
  std::uint64_t written_ = 0;
  int fd_ = -1;
  Result error_ = rc::Ok;
};

// Reads lines from a descriptor; each line without its "\n", cut at
// kMaxKeptLine characters. Read errors end the input like its end does and are
// reported by failed().
class LineReader {
 public:
  explicit LineReader(int fd) : fd_(fd) {}

  bool Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
      if (pos_ == len_ && !Fill()) return any;
      any = true;
      const char* start = buf_ + pos_;
      const void* nl = std::memchr(start, '\n', len_ - pos_);
      std::size_t take = nl ? static_cast<const char*>(nl) - start : len_ - pos_;
      if (line.size() < kMaxKeptLine) line.append(start, std::min(take, kMaxKeptLine - line.size()));
      pos_ += take;
      if (nl) {
        ++pos_;
        return true;
      }
    }
  }

  bool failed() const { return failed_; }

 private:
  bool Fill() {
    const ssize_t n = ReadSome(fd_, buf_, sizeof buf_);
    if (n < 0) failed_ = true;
    pos_ = 0;
    len_ = n > 0 ? static_cast<std::size_t>(n) : 0;
    return n > 0;
  }

  int fd_;
  char buf_[1 << 16];
  std::size_t pos_ = 0;
  std::size_t len_ = 0;
  bool failed_ = false;
};

char EncodeSix(unsigned v) { return v == 0 ? kZeroChar : static_cast<char>(0x20 + (v & 0x3f)); }

void EncodeLine(const unsigned char* p, std::size_t n, std::string& out) {
  out.clear();
  out.push_back(EncodeSix(static_cast<unsigned>(n)));
  for (std::size_t i = 0; i < n; i += 3) {
    unsigned b0 = p[i];
    unsigned b1 = i + 1 < n ? p[i + 1] : 0;
    unsigned b2 = i + 2 < n ? p[i + 2] : 0;
    out.push_back(EncodeSix(b0 >> 2));
    out.push_back(EncodeSix(((b0 << 4) | (b1 >> 4)) & 0x3f));
    out.push_back(EncodeSix(((b1 << 2) | (b2 >> 6)) & 0x3f));
    out.push_back(EncodeSix(b2 & 0x3f));
  }
  out.push_back('\n');
}

void TrimRight(std::string& s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
}

// "begin <octal mode> <name>": fills mode and the raw name.
bool ParseBegin(const std::string& line, unsigned& mode, std::string& name) {
  constexpr std::string_view kBegin = "begin ";
  if (line.compare(0, kBegin.size(), kBegin) != 0) return false;
  std::size_t i = kBegin.size();
  std::size_t digits = 0;
  mode = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '7' && digits < 6) {
    mode = mode * 8 + static_cast<unsigned>(line[i] - '0');
    ++i;
    ++digits;
  }
  if (digits == 0 || i >= line.size() || line[i] != ' ') return false;
  name = line.substr(i + 1);
  return true;
}

bool IsEndLine(const std::string& line) { return line == "end"; }

// The name a block's file is written under, or empty when it must be refused.
std::string SafeName(const std::string& raw) {
  std::string name = LastComponent(raw);
  if (name.empty() || name.find('\0') != std::string::npos) return {};
  if (name.find_first_not_of('.') == std::string::npos) return {};
  if (name.compare(0, kTempPrefix.size(), kTempPrefix) == 0) return {};
  return name;
}

bool IsSixBitChar(char c) { return c >= 0x20 && c <= 0x60; }
unsigned SixBits(char c) { return static_cast<unsigned>(c - 0x20) & 0x3f; }

// Decodes one body line (trimmed) into out. Returns false for characters
// outside the UU alphabet. Missing characters at the end count as zero.
bool DecodeLine(const std::string& line, std::string& out, std::size_t& length) {
  out.clear();
  length = 0;
  if (line.empty()) return true;  // a lone blank, trimmed away, is the zero line
  if (!IsSixBitChar(line[0])) return false;
  length = SixBits(line[0]);
  std::size_t needed = (length + 2) / 3 * 4;
  unsigned v[4];
  for (std::size_t g = 0; g < needed; g += 4) {
    for (std::size_t k = 0; k < 4; ++k) {
      std::size_t at = 1 + g + k;
      char c = at < line.size() ? line[at] : ' ';
      if (!IsSixBitChar(c)) return false;
      v[k] = SixBits(c);
    }
    out.push_back(static_cast<char>((v[0] << 2) | (v[1] >> 4)));
    out.push_back(static_cast<char>((v[1] << 4) | (v[2] >> 2)));
    out.push_back(static_cast<char>((v[2] << 6) | v[3]));
  }
  out.resize(length);
  return true;
}

Result Worse(Result sofar, Result next) { return sofar != rc::Ok ? sofar : next; }

// Decodes the body of one block up to and including its "end" line. With a
// null target the body is read and checked but nothing is written.
Result DecodeBody(LineReader& in, PendingFile* target) {
  std::string line;
  std::string bytes;
  bool sawZeroLine = false;
  while (in.Next(line)) {
    TrimRight(line);
    if (IsEndLine(line)) return rc::Ok;
    if (sawZeroLine) {
      if (line.empty()) continue;  // blank lines between "`" and "end"
      return rc::ArchiveError;
    }
    std::size_t length = 0;
    if (!DecodeLine(line, bytes, length)) return rc::ArchiveError;
    if (length == 0) {
      sawZeroLine = true;
      continue;
    }
    if (target) target->Write(bytes.data(), bytes.size());
  }
  return rc::ArchiveError;  // input ended before "end"
}

}  // namespace

Result UuEncodeFile(const std::string& source, const std::string& target) {
  int fd = OpenSource(source);
  if (fd < 0) return rc::FileNotFound;
  FdCloser closer(fd);
  std::string name = LastComponent(source);
  if (name.empty() || name.find_first_of(std::string_view("\n\r\0", 3)) != std::string::npos) {
    return rc::ArchiveError;  // no line could carry this name
  }
  std::string folder = FolderOf(target);
  if (!IsFolder(folder)) return rc::PathNotFound;
  std::string targetName = LastComponent(target);
  if (targetName.empty()) return rc::AccessDenied;

  PendingFile out;
  if (Result r = out.Create(folder); r != rc::Ok) return r;
  std::string header = "begin 644 " + name + "\n";
  out.Write(header.data(), header.size());

  unsigned char buf[kBytesPerLine * 1024];
  std::size_t have = 0;
  std::string line;
  for (;;) {
    const ssize_t n = ReadSome(fd, buf + have, sizeof buf - have);
    if (n < 0) return rc::ArchiveError;  // source unreadable half way
    have += static_cast<std::size_t>(n);
    bool atEnd = n == 0;
    std::size_t done = 0;
    while (have - done >= kBytesPerLine || (atEnd && have > done)) {
      std::size_t take = std::min(kBytesPerLine, have - done);
      EncodeLine(buf + done, take, line);
      out.Write(line.data(), line.size());
      done += take;
    }
    std::memmove(buf, buf + done, have - done);
    have -= done;
    if (atEnd) break;
  }
  static constexpr std::string_view kTrailer = "`\nend\n";
  out.Write(kTrailer.data(), kTrailer.size());
  return out.Commit(targetName, /*replace=*/true, kWrittenMode);
}

Result UuDecodeFile(const std::string& source, const std::string& targetFolder, std::string* written) {
  int fd = OpenSource(source);
  if (fd < 0) return rc::FileNotFound;
  FdCloser closer(fd);
  if (!IsFolder(targetFolder)) return rc::PathNotFound;

  LineReader in(fd);
  Result result = rc::Ok;
  bool anyBlock = false;
  std::string line;
  while (in.Next(line)) {
    unsigned mode = 0;
    std::string rawName;
    TrimRight(line);
    if (!ParseBegin(line, mode, rawName)) continue;
    anyBlock = true;
    std::string name = SafeName(rawName);
    if (name.empty()) {
      result = Worse(result, rc::ArchiveError);
      if (DecodeBody(in, nullptr) != rc::Ok) break;
      continue;
    }
    struct stat st {};
    if (::lstat((targetFolder + "/" + name).c_str(), &st) == 0) {
      result = Worse(result, rc::AccessDenied);  // never replaced; checked again at rename
      if (DecodeBody(in, nullptr) != rc::Ok) break;
      continue;
    }
    PendingFile out;
    if (Result r = out.Create(targetFolder); r != rc::Ok) return Worse(result, r);
    Result body = DecodeBody(in, &out);
    if (body != rc::Ok) {
      result = Worse(result, body);
      break;  // the input is out of step; what follows cannot be trusted
    }
    Result committed = out.Commit(name, /*replace=*/false, (mode & 0755) | 0600);
    result = Worse(result, committed);
    if (committed == rc::Ok && written) *written = name;
    if (committed == rc::DiskFull) break;
  }
  if (in.failed()) result = Worse(result, rc::ArchiveError);
  if (!anyBlock) result = Worse(result, rc::ArchiveError);
  return result;
}

}  // namespace kx
