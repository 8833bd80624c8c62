#pragma once
// Text decoding for entry names and comments of DOS-era archives.
#include <string>
#include <string_view>

namespace kx {

// Bytes in code page 437 (the German DOS archives' code page) to UTF-8.
std::string Cp437ToUtf8(std::string_view bytes);

// UTF-8 to code page 437 bytes; false (out unspecified) when the text is not
// UTF-8 or holds a character the code page lacks. Control characters below
// 0x20 pass as the same bytes.
bool Utf8ToCp437(std::string_view utf8, std::string& out);

bool IsValidUtf8(std::string_view s);

// Appends one code point of the Basic Multilingual Plane as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace kx
