// Peer checks shared by the write-side tests: Python's zipfile listing,
// `unzip -t`, `7zz t`, file times. Each test file repeats the few
// declarations it uses (namespace kxwt) instead of a shared header.
#include <gtest/gtest.h>

#include <sstream>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#include "support/test_support.h"

namespace kxwt {

namespace fs = std::filesystem;

struct PyEntry {
  std::string name;
  std::uint64_t size = 0;
  std::uint64_t packed = 0;
  std::uint32_t crc = 0;
  std::string time;  // "YYYY-MM-DD HH:MM:SS" as stored (local DOS time)
  int method = -1;
  bool utf8 = false;
  bool encrypted = false;
  unsigned unixMode = 0;      // external attributes >> 16 when made by Unix, else 0
  bool unixTime = false;      // an extended timestamp field is there
};

// Every entry is read and checked (testzip) unless the archive is encrypted.
constexpr const char* kListScript = R"PY(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
enc = any(i.flag_bits & 1 for i in z.infolist())
print("bad", "-" if enc else z.testzip())
for i in z.infolist():
    mode = (i.external_attr >> 16) if i.create_system == 3 else 0
    ut = 1 if b"UT" in i.extra else 0
    print("E\t%s\t%d\t%d\t%08x\t%04d-%02d-%02d %02d:%02d:%02d\t%d\t%d\t%d\t%o\t%d" % ((i.filename, i.file_size, i.compress_size, i.CRC) + i.date_time + (i.compress_type, (i.flag_bits >> 11) & 1, i.flag_bits & 1, mode, ut)))
sys.stdout.write("C\t" + z.comment.decode("utf-8", "replace") + "\n")
)PY";

std::vector<PyEntry> PyEntries(const fs::path& archive, std::string* comment) {
  const auto run = kxtest::Run({"python3", "-c", kListScript, archive.string()});
  EXPECT_EQ(run.exitCode, 0) << run.output;
  std::vector<PyEntry> out;
  std::istringstream in(run.output);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("bad ", 0) == 0) {
      EXPECT_TRUE(line == "bad None" || line == "bad -") << line;
      continue;
    }
    if (line.rfind("C\t", 0) == 0) {
      if (comment) *comment = line.substr(2);
      continue;
    }
    if (line.rfind("E\t", 0) != 0) continue;
    std::vector<std::string> f;
    std::istringstream fields(line.substr(2));
    for (std::string part; std::getline(fields, part, '\t');) f.push_back(part);
    if (f.size() != 10) continue;
    PyEntry e;
    e.name = f[0];
    e.size = std::stoull(f[1]);
    e.packed = std::stoull(f[2]);
    e.crc = static_cast<std::uint32_t>(std::stoul(f[3], nullptr, 16));
    e.time = f[4];
    e.method = std::stoi(f[5]);
    e.utf8 = f[6] == "1";
    e.encrypted = f[7] == "1";
    e.unixMode = static_cast<unsigned>(std::stoul(f[8], nullptr, 8));
    e.unixTime = f[9] == "1";
    out.push_back(e);
  }
  return out;
}

std::vector<std::string> PyNames(const fs::path& archive) {
  std::vector<std::string> names;
  for (const auto& e : PyEntries(archive, nullptr)) names.push_back(e.name);
  return names;
}

bool UnzipTestOk(const fs::path& archive) {
  const auto run = kxtest::Run({"unzip", "-t", archive.string()});
  return run.exitCode == 0 && run.output.find("No errors detected") != std::string::npos;
}

bool SevenZipTestOk(const fs::path& archive, const std::string& password) {
  std::vector<std::string> argv = {"7zz", "t", "-p" + password, archive.string()};
  const auto run = kxtest::Run(argv);
  return run.exitCode == 0 && run.output.find("Everything is Ok") != std::string::npos;
}

std::string DosTimeText(std::time_t t) {
  t -= t % 2;
  std::tm tm {};
  localtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

void SetMtime(const fs::path& path, std::time_t t) {
  const struct timespec times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

std::time_t Mtime(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : 0;
}

// Names of leftover temporary files in a folder.
std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string n = e.path().filename().string();
    if (n.find(".kxtmp-") != std::string::npos) out.push_back(n);
  }
  return out;
}

}  // namespace kxwt
