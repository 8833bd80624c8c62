// The small plain functions: quick extraction, the console-print switch and
// the ratio.
#include <atomic>

#include "engine/kx_functions.h"
#include "engine/kxzip.h"
#include "engine/operations.h"

namespace {
std::atomic<std::int16_t> g_consolePrint{0};
}

kx::Result KxQUnZip(const std::string& archive, const std::string& folder, const std::string& files,
                    const std::string& options) {
  kx::KxZip zip;
  zip.ZipFile = archive;
  zip.TargetDir = folder;
  zip.FileSpec = files.empty() ? std::string("*.*") : files;
  // Without switches a quick extraction is flat and never overwrites: nobody
  // is there to answer a question.
  zip.RestoreFolders = false;
  zip.OverwriteMode = 2;
  if (const kx::Result r = kx::ApplyQuickOptions(options, zip); r != kx::rc::Ok) return r;
  kx::ClearCancel();
  return kx::ExtractEntries(zip);
}

void KxSetCPrint(std::int16_t mode) { g_consolePrint.store(mode); }
std::int16_t KxGetCPrint() { return g_consolePrint.load(); }

std::int16_t KxZipPercent(std::uint64_t size, std::uint64_t packedSize) {
  if (size == 0 || packedSize >= size) return 0;
  // Rounded to the nearest percent, computed without overflow for any size.
  const long double saved = static_cast<long double>(size - packedSize) * 100.0L / static_cast<long double>(size);
  return static_cast<std::int16_t>(saved + 0.5L);
}
