// KxQZip: the command line's one-call add. A KxZip without callbacks, its
// options taken from the switch text (ApplyQuickOptions), then action 2.
#include "engine/kx_functions.h"
#include "engine/kxzip.h"
#include "engine/operations.h"

kx::Result KxQZip(const std::string& archive, const std::string& files, const std::string& options) {
  kx::KxZip zip;
  zip.ZipFile = archive;
  zip.FileSpec = files;
  zip.Recurse = false;  // -r descends, as with the DOS tools
  if (const kx::Result r = kx::ApplyQuickOptions(options, zip); r != kx::rc::Ok) return r;
  kx::ClearCancel();
  return kx::AddFiles(zip);
}
