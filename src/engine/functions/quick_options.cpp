// The switch grammar of the quick functions, after the classic DOS ZIP tools:
//
//   -d            restore the stored folders when extracting
//   -o            overwrite existing files without asking
//   -n            only newer files (update: missing or older ones)
//   -f            only files that exist and are older (freshen)
//   -r            descend into folders
//   -p / -P       store paths relative to each named folder / full paths
//   -ex -en -ef -es  compression: best, normal, fast, fastest
//   -sPASSWORD    password, glued to the switch
//   -vSIZE        split into volumes of SIZE bytes (suffix k or m); -v alone
//                 uses one floppy's size
//   -m            delete the source files once they are stored
//
// Switches are case-sensitive and separated by blanks; a password with blanks
// goes in double quotes ("-sgeheimes wort").
#include "engine/functions/quick_options.h"

#include <cctype>
#include <cstdint>
#include <limits>

namespace kx {
namespace {

// "1457664", "100k", "2m"; false for anything else or a size that does not fit.
bool ParseVolumeSize(const std::string& text, std::int32_t& out) {
  if (text.empty()) return false;
  std::uint64_t value = 0;
  std::size_t i = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return false;
  }
  if (i == 0) return false;
  std::uint64_t factor = 1;
  if (i + 1 == text.size()) {
    const char unit = static_cast<char>(std::tolower(static_cast<unsigned char>(text[i])));
    if (unit == 'k') factor = 1024;
    else if (unit == 'm') factor = 1024 * 1024;
    else return false;
  } else if (i != text.size()) {
    return false;
  }
  value *= factor;
  if (value > std::numeric_limits<std::int32_t>::max()) return false;
  out = static_cast<std::int32_t>(value);
  return true;
}

}  // namespace

std::vector<std::string> SplitFileSpec(const std::string& spec) {
  std::vector<std::string> names;
  std::string current;
  bool quoted = false, any = false;
  for (const char c : spec) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) names.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) names.push_back(current);
  // A pair of quotes with nothing inside names nothing.
  std::erase_if(names, [](const std::string& n) { return n.empty(); });
  return names;
}

Result ApplyQuickOptions(const std::string& options, KxZip& zip) {
  for (const std::string& word : SplitFileSpec(options)) {
    if (word.size() < 2 || word[0] != '-') return rc::BadSwitch;
    const std::string rest = word.substr(1);
    if (rest == "d") zip.RestoreFolders = true;
    else if (rest == "o") zip.OverwriteMode = OptionCode(Overwrite::Always);
    else if (rest == "n") zip.ExtractMode = OptionCode(ExtractChoice::Update);
    else if (rest == "f") zip.ExtractMode = OptionCode(ExtractChoice::Freshen);
    else if (rest == "r") zip.Recurse = true;
    else if (rest == "p") zip.StorePaths = OptionCode(StorePath::Relative);
    else if (rest == "P") zip.StorePaths = OptionCode(StorePath::Full);
    else if (rest == "m") zip.MoveFiles = true;
    else if (rest == "ex") zip.CompressionLevel = OptionCode(Compression::Best);
    else if (rest == "en") zip.CompressionLevel = OptionCode(Compression::Normal);
    else if (rest == "ef") zip.CompressionLevel = OptionCode(Compression::Fast);
    else if (rest == "es") zip.CompressionLevel = OptionCode(Compression::Fastest);
    else if (rest[0] == 's' && rest.size() > 1) zip.Password = rest.substr(1);
    else if (rest == "v") {
      zip.MultiVolume = true;
      zip.VolumeSize = kFloppyVolumeSize;
    } else if (rest[0] == 'v') {
      if (!ParseVolumeSize(rest.substr(1), zip.VolumeSize)) return rc::BadSwitch;
      zip.MultiVolume = true;
    } else {
      return rc::BadSwitch;
    }
  }
  return rc::Ok;
}

}  // namespace kx
