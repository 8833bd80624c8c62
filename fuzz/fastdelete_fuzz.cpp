// Fuzzes deleting by copying byte ranges. Each input is written to a file in
// a private folder and offered to FastDelete; when it takes the archive,
// libzip (if it opens the input at all) must see the same entry names in the
// same order, and the entries picked by the input's first byte are deleted.
// The result must be an archive that FastDelete takes again, holding exactly
// the kept entries' names in their order, that libzip opens with the same
// count, and nothing else may be left in the folder. Aborts otherwise. The
// folder is removed when the fuzzer exits.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>
#include <zip.h>

#include "engine/kxzip.h"
#include "engine/zip/fast_delete.h"
#include "engine/zip/update_progress.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// The private folder, made on first use and removed with its contents when
// the process exits normally (libFuzzer ends its runs with exit()).
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string templ = (std::filesystem::temp_directory_path() / "kx-fastdelete-fuzz-XXXXXX").string();
    Check(::mkdtemp(templ.data()) != nullptr);
    path_ = templ;
  }
  ~PrivateFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

const std::filesystem::path& Folder() {
  static const PrivateFolder folder;
  return folder.path();
}

// The entry names as zip_stat gives them; false when libzip does not open the archive.
bool LibzipNames(const std::filesystem::path& archive, std::vector<std::string>& names) {
  int error = 0;
  zip_t* za = zip_open(archive.c_str(), ZIP_RDONLY, &error);
  if (!za) return false;
  names.clear();
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i) {
    const char* name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
    names.emplace_back(name ? name : "");
  }
  zip_discard(za);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::filesystem::path archive = Folder() / "a.zip";
  {
    std::ofstream out(archive, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::vector<std::string> kept;
  {
    kx::FastDelete fast(archive.string());
    if (!fast.Open() || !fast.CheckLayout()) return 0;
    std::vector<std::string> seen;
    if (LibzipNames(archive, seen)) {
      Check(seen.size() == fast.count());
      for (std::size_t i = 0; i < seen.size(); ++i) Check(seen[i] == fast.name(i));
    }
    const unsigned mask = size > 0 ? data[0] : 0;
    std::vector<bool> drop(fast.count());
    kx::KxZip zip;
    kx::UpdateProgress progress(zip, kx::action::Delete);
    for (std::size_t i = 0; i < fast.count(); ++i) {
      drop[i] = (mask >> (i % 8)) & 1;
      if (!drop[i]) {
        kept.push_back(fast.name(i));
        progress.AddEntry(fast.name(i), fast.packedSize(i));
      }
    }
    Check(fast.Write(drop, progress) == kx::rc::Ok);
  }
  kx::FastDelete again(archive.string());
  Check(again.Open() && again.CheckLayout());
  Check(again.count() == kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) Check(again.name(i) == kept[i]);
  std::vector<std::string> seen;
  if (LibzipNames(archive, seen)) Check(seen == kept);
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(Folder())) ++files;
  Check(files == 1);
  return 0;
}
