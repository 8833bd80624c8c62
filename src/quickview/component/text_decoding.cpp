#include "text_decoding.h"

#include <QStringDecoder>

#include <array>
#include <string>

#include "engine/io/cp437.h"

namespace qview {
namespace {

// Code points of the bytes 0x80..0x9F of code page 1252 (0xA0..0xFF are
// Latin-1); 0 marks the five bytes the code page leaves undefined.
constexpr std::array<char16_t, 32> kCp1252Low = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool IsAsciiLetter(uchar c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
bool IsBoxOrBlank(uchar c) { return c == ' ' || c == '\n' || c == '\r' || (c >= 0xb0 && c <= 0xdf); }
bool IsCp1252Letter(uchar c) {
  return (c >= 0xc0 && c != 0xd7 && c != 0xf7) || c == 0x8a || c == 0x8c || c == 0x8e || c == 0x9a || c == 0x9c ||
         c == 0x9e || c == 0x9f;
}

bool StartsWith(QByteArrayView b, const char* bom, qsizetype n) { return b.size() >= n && b.first(n) == QByteArrayView(bom, n); }

}  // namespace

TextEncoding DetectEncoding(QByteArrayView bytes) {
  if (StartsWith(bytes, "\xef\xbb\xbf", 3)) return TextEncoding::Utf8;
  if (StartsWith(bytes, "\xff\xfe", 2)) return TextEncoding::Utf16LE;
  if (StartsWith(bytes, "\xfe\xff", 2)) return TextEncoding::Utf16BE;
  if (kx::IsValidUtf8(std::string_view(bytes.data(), std::size_t(bytes.size())))) return TextEncoding::Utf8;
  // German DOS texts put their letters at 0x80..0xA5 (ä 0x84, ö 0x94, ü 0x81,
  // ß 0xE1) and draw boxes at 0xB0..0xDF; Windows texts put theirs at
  // 0xC0..0xFF and use 0x80..0x9F mostly for marks („ “ €). So each high byte
  // counts for the code page in which it is a letter beside a letter, and a
  // box piece beside a blank or another box piece counts for DOS. A byte
  // that 1252 leaves undefined settles it.
  qsizetype dos = 0, windows = 0;
  const qsizetype n = bytes.size();
  const auto at = [&](qsizetype i) { return i >= 0 && i < n ? uchar(bytes[i]) : uchar(' '); };
  for (qsizetype i = 0; i < n; ++i) {
    const uchar b = at(i);
    if (b < 0x80) continue;
    if (b < 0xa0 && kCp1252Low[b - 0x80] == 0) return TextEncoding::Cp437;
    const bool besideLetter = IsAsciiLetter(at(i - 1)) || IsAsciiLetter(at(i + 1));
    if (besideLetter && (b <= 0xa5 || b == 0xe1)) ++dos;
    if (besideLetter && IsCp1252Letter(b)) ++windows;
    if (b >= 0xb0 && b <= 0xdf && (IsBoxOrBlank(at(i - 1)) || IsBoxOrBlank(at(i + 1)))) ++dos;
  }
  return dos > windows ? TextEncoding::Cp437 : TextEncoding::Cp1252;
}

QString DecodeText(QByteArrayView bytes, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8:
      if (StartsWith(bytes, "\xef\xbb\xbf", 3)) bytes = bytes.sliced(3);
      return QString::fromUtf8(bytes);
    case TextEncoding::Utf16LE:
    case TextEncoding::Utf16BE: {
      QStringDecoder decode(encoding == TextEncoding::Utf16LE ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                            QStringConverter::Flag::Default);
      QString text = decode(bytes.sliced(2));
      return text;
    }
    case TextEncoding::Cp437:
      return QString::fromStdString(kx::Cp437ToUtf8(std::string_view(bytes.data(), std::size_t(bytes.size()))));
    case TextEncoding::Cp1252: {
      QString text(bytes.size(), Qt::Uninitialized);
      QChar* out = text.data();
      for (char c : bytes) {
        const auto b = uchar(c);
        *out++ = QChar(b >= 0x80 && b < 0xa0 && kCp1252Low[b - 0x80] ? kCp1252Low[b - 0x80] : char16_t(b));
      }
      return text;
    }
  }
  return {};
}

}  // namespace qview
