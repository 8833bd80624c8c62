// The command line's one-call functions. A KxZip without callbacks, its
// options taken from the switch text (ApplyQuickOptions), then one action.
#include "engine/functions/kx_quick.h"

#include <atomic>

#include "engine/cancel.h"
#include "engine/functions/quick_options.h"
#include "engine/kxzip.h"
#include "engine/zip/zip_add.h"
#include "engine/zip/zip_extract.h"

namespace {
std::atomic<std::int16_t> g_consolePrint{0};
}

namespace {

kx::Result QuickZip(const std::string& archive, const std::string& files, const std::string& options) {
  kx::KxZip zip;
  zip.ZipFile = archive;
  zip.FileSpec = files;
  zip.Recurse = false;  // -r descends, as with the DOS tools
  if (const kx::Result r = kx::ApplyQuickOptions(options, zip); r != kx::rc::Ok) return r;
  kx::ClearCancel();
  return kx::AddFiles(zip);
}

kx::Result QuickUnZip(const std::string& archive, const std::string& folder, const std::string& files,
                    const std::string& options) {
  kx::KxZip zip;
  zip.ZipFile = archive;
  zip.TargetDir = folder;
  zip.FileSpec = files.empty() ? std::string("*.*") : files;
  // Without switches a quick extraction is flat and never overwrites: nobody
  // is there to answer a question.
  zip.RestoreFolders = false;
  zip.OverwriteMode = kx::OptionCode(kx::Overwrite::Never);
  if (const kx::Result r = kx::ApplyQuickOptions(options, zip); r != kx::rc::Ok) return r;
  kx::ClearCancel();
  return kx::ExtractEntries(zip);
}

}  // namespace

std::int16_t KxQZip(const std::string& archive, const std::string& files, const std::string& options) { return kx::Code(QuickZip(archive, files, options)); }

std::int16_t KxQUnZip(const std::string& archive, const std::string& folder, const std::string& files,
                      const std::string& options) { return kx::Code(QuickUnZip(archive, folder, files, options)); }

void KxSetCPrint(std::int16_t mode) { g_consolePrint.store(mode); }
std::int16_t KxGetCPrint() { return g_consolePrint.load(); }
