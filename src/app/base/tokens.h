#pragma once
// The program's small text helpers for command lines, paths and lists of
// file names. Words are separated by single blanks; every blank counts, so
// two blanks in a row make an empty word. Quotes are not special here.
#include <string>
#include <string_view>

namespace kx {

// Blanks and tabs removed at both ends (the classic Trim removes blanks only;
// tabs never occur in the program's own texts).
std::string Trim(std::string_view s);

// 0 for an empty (or all-blank) text, else the number of blanks in the
// trimmed text plus one.
int CountTokens(std::string_view text);

// Word n (from 0) of the text; empty beyond the last word.
std::string GetToken(std::string_view text, int n);

// One leading and one trailing double quote removed, each only if present.
std::string StripQuotes(std::string_view text);

// Position (from 1) of the last occurrence of ch's first character, 0 if none.
int LastCharPos(std::string_view text, std::string_view ch);

// The part after the last "/" (the whole path without one), trimmed, then
// StripQuotes.
std::string FileNameOfPath(std::string_view path);

}  // namespace kx
