// The shared engine test helpers declared in engine_fixture.h.
#include "engine/engine_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

#include <zlib.h>

namespace kxwt {

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

std::vector<std::string> Leftovers(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string n = e.path().filename().string();
    if (n.find(".kxtmp-") != std::string::npos) out.push_back(n);
  }
  return out;
}

FileMap Files(const fs::path& root) {
  FileMap out;
  if (!fs::exists(root)) return out;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_regular_file() && !e.is_symlink())
      out[e.path().lexically_relative(root).generic_string()] = kxtest::ReadFile(e.path());
  }
  return out;
}

std::vector<std::string> Listing(const fs::path& root) {
  std::vector<std::string> names;
  if (!fs::exists(root)) return names;
  for (const auto& e : fs::recursive_directory_iterator(root))
    names.push_back(e.path().lexically_relative(root).generic_string() + (e.is_directory() && !e.is_symlink() ? "/" : ""));
  std::sort(names.begin(), names.end());
  return names;
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

void Pack(const std::vector<std::string>& argv, const fs::path& cwd) {
  const auto run = kxtest::Run(argv, cwd);
  EXPECT_EQ(run.exitCode, 0) << argv[0] << ": " << run.output;
}

void Aim(kx::KxZip& zip, const fs::path& archive, const std::string& spec, const fs::path& target) {
  zip.ZipFile = archive.string();
  zip.FileSpec = spec;
  if (!target.empty()) zip.TargetDir = target.string();
}

}  // namespace kxwt
