#include "engine/zip/zip_entry_name.h"

#include "engine/io/cp437.h"
#include "engine/zip/zip_format.h"

namespace kx {

using namespace zipfmt;

EntryNamer::EntryNamer(CodePage page) : page_(page), decoder_(page) {}

std::string EntryNamer::NameOf(CdRecord& rec, bool take) {
  auto header = [&] { return take ? std::move(rec.rawName) : rec.rawName; };
  if (rec.flags & flag::kUtf8) return header();
  if (rec.hasUnicodeName && !rec.unicodeName.empty() && IsValidUtf8(rec.unicodeName)) return rec.unicodeName;
  if (page_ == CodePage::Automatic) {
    const auto host = static_cast<std::uint8_t>(rec.madeBy >> 8);
    if ((host == host::kUnix || host == host::kOsx) && IsValidUtf8(rec.rawName)) return header();
  }
  return decoder_.Decode(rec.rawName);
}

std::string EntryNamer::CommentOf(const std::string& raw) {
  return IsValidUtf8(raw) ? raw : decoder_.Decode(raw);
}

Result DecideNames(const ByteSource& src, CodePage page, std::vector<std::string>& names) {
  names.clear();
  CentralDirectory cd;
  if (const Result r = ReadCentralDirectory(src, cd); r != rc::Ok) return r;
  EntryNamer namer(page);
  names.reserve(cd.records.size());
  for (CdRecord& rec : cd.records) names.push_back(namer.NameOf(rec, true));
  return rc::Ok;
}

}  // namespace kx
