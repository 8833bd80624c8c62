#pragma once
// Code pages for entry names stored without a statement of their encoding
// (no UTF-8 flag): the ones a user can choose for an archive, and the
// decoding of their bytes to UTF-8.
//
// The single-byte pages are tables; Shift-JIS (as Windows writes it, CP932)
// and GBK go through glibc's iconv. A byte or sequence that has no character
// in the page becomes U+FFFD, so decoding never fails and never drops a byte
// silently (the safe-path rules then judge the name as usual).
//
// A CodePageDecoder holds its own iconv state: one decoder per thread. The
// free function makes one for a single call.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kx {

// The number of each page is its usual code page number; Automatic keeps the
// archive's own rules (see zip_entry_name.h).
enum class CodePage : std::int16_t {
  Automatic = 0,
  Cp437 = 437,
  Cp850 = 850,
  Cp866 = 866,
  Windows1252 = 1252,
  ShiftJis = 932,
  Gbk = 936,
};

inline constexpr std::array<CodePage, 7> kCodePages = {CodePage::Automatic, CodePage::Cp437,    CodePage::Cp850,
                                                       CodePage::Cp866,     CodePage::Windows1252, CodePage::ShiftJis,
                                                       CodePage::Gbk};

// The page of a 16-bit code; any number that names none is Automatic.
CodePage CodePageOf(std::int16_t code);

class CodePageDecoder {
 public:
  // Automatic decodes as code page 437, the DOS archives' page.
  explicit CodePageDecoder(CodePage page);
  ~CodePageDecoder();
  CodePageDecoder(const CodePageDecoder&) = delete;
  CodePageDecoder& operator=(const CodePageDecoder&) = delete;

  std::string Decode(std::string_view bytes);

 private:
  std::string DecodeMultiByte(std::string_view bytes);

  CodePage page_;
  void* iconv_ = nullptr;  // iconv_t of the multi-byte pages; null when glibc has no converter
};

std::string DecodeCodePage(CodePage page, std::string_view bytes);

}  // namespace kx
