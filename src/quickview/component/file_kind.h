#pragma once
// The file type codes of the viewer control and how a file is given one:
// by its first bytes (magic numbers, what Qt's image readers recognise,
// whether it reads as text) and, for formats without a reliable signature,
// by its extension. Pure functions, any thread.
#include <QByteArrayView>
#include <QString>

#include <cstdint>

namespace qview {

// The codes the control reports; each stands for one of the filters of the
// classic viewer. The control renders Text, Hex, Bitmap and Image itself;
// every other code is reported as a missing viewer.
namespace type {
inline constexpr std::int16_t Text = 1;
inline constexpr std::int16_t Hex = 2;
inline constexpr std::int16_t Bitmap = 3;
inline constexpr std::int16_t Image = 4;
inline constexpr std::int16_t Word = 5;
inline constexpr std::int16_t WordPerfect = 6;
inline constexpr std::int16_t AmiPro = 7;
inline constexpr std::int16_t DBase = 8;
inline constexpr std::int16_t Zip = 13;
inline constexpr std::int16_t Lzh = 14;
inline constexpr std::int16_t QuattroPro = 15;
inline constexpr std::int16_t Wave = 16;
inline constexpr std::int16_t Works = 20;
inline constexpr std::int16_t WorksDb = 21;
inline constexpr std::int16_t Excel = 25;
inline constexpr std::int16_t TrueType = 28;
inline constexpr std::int16_t Executable = 29;
inline constexpr std::int16_t Pif = 30;
inline constexpr std::int16_t Group = 31;
inline constexpr std::int16_t Media = 32;
}  // namespace type

// The code for a file, from its first bytes (up to 64 KiB) and its path (for
// the extension and for Qt's image readers).
std::int16_t FileTypeOf(const QString& path, QByteArrayView head);

// True for the codes the control shows itself.
bool Renders(std::int16_t code);

// Whether the bytes read as text: no NUL byte (outside UTF-16 with a byte
// order mark) and hardly any other control characters.
bool LooksLikeText(QByteArrayView head);

}  // namespace qview
