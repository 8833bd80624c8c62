#include "app/base/tokens.h"

namespace kx {

std::string Trim(std::string_view s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = s.find_last_not_of(" \t");
  return std::string(s.substr(first, last - first + 1));
}

int CountTokens(std::string_view text) {
  const std::string t = Trim(text);
  if (t.empty()) return 0;
  int blanks = 0;
  for (char c : t)
    if (c == ' ') ++blanks;
  return blanks + 1;
}

std::string GetToken(std::string_view text, int n) {
  if (n < 0 || n > CountTokens(text) - 1) return {};
  const std::string t = Trim(text);
  std::string_view work = t;
  if (n > 0) {
    std::size_t p = std::string_view::npos;
    for (int i = 0; i < n; ++i) p = t.find(' ', p == std::string_view::npos ? 0 : p + 1);
    work = std::string_view(t).substr(p + 1);
  }
  const auto blank = work.find(' ');
  if (blank == std::string_view::npos) return Trim(work);
  return Trim(work.substr(0, blank + 1));
}

std::string StripQuotes(std::string_view text) {
  if (!text.empty() && text.front() == '"') text.remove_prefix(1);
  if (!text.empty() && text.back() == '"') text.remove_suffix(1);
  return std::string(text);
}

int LastCharPos(std::string_view text, std::string_view ch) {
  if (ch.empty()) return 0;
  const auto p = text.rfind(ch.front());
  return p == std::string_view::npos ? 0 : static_cast<int>(p) + 1;
}

std::string FileNameOfPath(std::string_view path) {
  const int p = LastCharPos(path, "/");
  return StripQuotes(Trim(path.substr(static_cast<std::size_t>(p))));
}

}  // namespace kx
