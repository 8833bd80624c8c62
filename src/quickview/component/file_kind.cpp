#include "file_kind.h"

#include <QFileInfo>
#include <QImageReader>

#include <utility>

namespace qview {
namespace {

// A signature as written, NUL bytes included.
template <std::size_t N>
constexpr QByteArrayView M(const char (&s)[N]) {
  return QByteArrayView(s, qsizetype(N - 1));
}

bool StartsWith(QByteArrayView head, QByteArrayView magic, qsizetype at = 0) {
  return head.size() >= at + magic.size() && head.sliced(at, magic.size()) == magic;
}

// Formats recognised by their first bytes. Container formats (ZIP, the OLE
// compound file) are told apart by the extension afterwards.
std::int16_t ByMagic(QByteArrayView head, const QString& ext) {
  if (StartsWith(head, M("RIFF")) && StartsWith(head, M("WAVE"), 8)) return type::Wave;
  if (StartsWith(head, M("RIFF")) && (StartsWith(head, M("AVI "), 8) || StartsWith(head, M("RMID"), 8))) return type::Media;
  static const QByteArrayView kMedia[] = {M("OggS"), M("ID3"), M("fLaC"), M("MThd"), M("\x1a\x45\xdf\xa3"),
                                          M("\x00\x00\x01\xba"), M("\x00\x00\x01\xb3"), M(".RMF")};
  for (QByteArrayView m : kMedia)
    if (StartsWith(head, m)) return type::Media;
  if (StartsWith(head, M("ftyp"), 4)) return type::Media;
  // An MPEG audio frame without a tag: eleven set sync bits.
  if (head.size() >= 2 && uchar(head[0]) == 0xff && (uchar(head[1]) & 0xe0) == 0xe0 && ext == "mp3") return type::Media;
  if (StartsWith(head, M("PK\x03\x04"))) {
    if (ext == "docx" || ext == "odt") return type::Word;
    if (ext == "xlsx" || ext == "ods") return type::Excel;
    return type::Zip;
  }
  if (StartsWith(head, M("\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1"))) return ext == "xls" ? type::Excel : type::Word;
  if (StartsWith(head, M("-lh"), 2) || StartsWith(head, M("-lz"), 2)) return type::Lzh;
  if (StartsWith(head, M("\x7f" "ELF")) || (StartsWith(head, M("MZ")) && !LooksLikeText(head))) return type::Executable;
  if (StartsWith(head, M("\xff" "WPC"))) return type::WordPerfect;
  if (StartsWith(head, M("\x00\x01\x00\x00")) || StartsWith(head, M("OTTO")) || StartsWith(head, M("true")))
    return ext == "ttf" || ext == "otf" ? type::TrueType : 0;
  return 0;
}

// Formats known by their extension only (their signatures are too weak).
std::int16_t ByExtension(const QString& ext) {
  static const std::pair<const char*, std::int16_t> kTable[] = {
      {"doc", type::Word},   {"rtf", type::Word},        {"wpd", type::WordPerfect}, {"wp6", type::WordPerfect},
      {"sam", type::AmiPro}, {"dbf", type::DBase},       {"wb1", type::QuattroPro},  {"wb2", type::QuattroPro},
      {"qpw", type::QuattroPro}, {"wps", type::Works},   {"wdb", type::WorksDb},     {"xls", type::Excel},
      {"pif", type::Pif},    {"grp", type::Group},       {"wav", type::Wave},        {"mid", type::Media},
      {"rmi", type::Media},  {"avi", type::Media},       {"mp3", type::Media},       {"mpg", type::Media},
      {"mpeg", type::Media}, {"mp4", type::Media},       {"mkv", type::Media},       {"ogg", type::Media},
      {"exe", type::Executable}, {"dll", type::Executable}, {"lzh", type::Lzh},      {"zip", type::Zip},
  };
  for (const auto& [e, code] : kTable)
    if (ext == QLatin1String(e)) return code;
  return 0;
}

}  // namespace

bool LooksLikeText(QByteArrayView head) {
  if (StartsWith(head, M("\xff\xfe")) || StartsWith(head, M("\xfe\xff"))) return true;
  qsizetype controls = 0;
  for (char c : head) {
    const auto b = uchar(c);
    if (b == 0) return false;
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != 0x1a && b != 0x1b) ++controls;
  }
  return controls * 100 <= head.size();  // at most one in a hundred
}

std::int16_t FileTypeOf(const QString& path, QByteArrayView head) {
  const QString ext = QFileInfo(path).suffix().toLower();
  if (const std::int16_t code = ByMagic(head, ext)) return code;
  QImageReader reader(path);
  reader.setDecideFormatFromContent(true);
  // TGA has no signature; its reader takes many binary files for pictures.
  if (reader.canRead() && (reader.format() != "tga" || ext == "tga"))
    return reader.format() == "bmp" ? type::Bitmap : type::Image;
  if (LooksLikeText(head)) return type::Text;
  if (const std::int16_t code = ByExtension(ext)) return code;
  return type::Hex;
}

bool Renders(std::int16_t code) {
  return code == type::Text || code == type::Hex || code == type::Bitmap || code == type::Image;
}

}  // namespace qview
