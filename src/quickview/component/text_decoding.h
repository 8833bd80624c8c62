#pragma once
// The text display's encodings: UTF-8 and UTF-16 (by their byte order mark or
// because the bytes are valid UTF-8), else Windows code page 1252 or DOS code
// page 437, told apart by which of them the high bytes make sense in.
// Pure functions, any thread.
#include <QByteArrayView>
#include <QString>

namespace qview {

enum class TextEncoding { Utf8, Utf16LE, Utf16BE, Cp1252, Cp437 };

// The encoding of a whole text.
TextEncoding DetectEncoding(QByteArrayView bytes);

// The text decoded; a byte order mark is dropped.
QString DecodeText(QByteArrayView bytes, TextEncoding encoding);

}  // namespace qview
