#include "ui/result_text.h"

#include <gtest/gtest.h>

namespace kx {
namespace {

struct Row {
  std::int16_t code;
  const char* text;
};

// A sample of the table across its kinds: German texts of our own, the
// engine's English ones, success and the positive system codes.
TEST(EngineResultText, TextsOfTheTable) {
  const Row rows[] = {
      {-29, "You need a newer version of the ZIP engine"},
      {-24, "Es wurde ein falsches Passwort angegeben."},
      {-10, "Der Speicherplatz der Diskette/Festplatte ist erschöpft."},
      {-9, "Falscher Kommandozeilen Schalter angegeben."},
      {-1, "Unbekannter Archivtyp."},
      {0, "No error"},
      {105, "Zugriff wurde Verweigert."},
      {108, "Kein Speicher mehr zur Verfügung."},
  };
  for (const auto& r : rows) {
    std::int16_t code = r.code;
    EXPECT_EQ(EngineResultText(code), r.text) << r.code;
  }
}

TEST(EngineResultText, CodesWithoutARowGetTheDefaultText) {
  const Row rows[] = {
      {-5, "Unknown Error Code: -5"},   {7, "Unknown Error Code: 7"},
      {200, "Unknown Error Code: 200"}, {-30, "Unknown Error Code: -30"},
      {-13, "Unknown Error Code: -13"}, {-17, "Unknown Error Code: -17"},
      {-6, "Unknown Error Code: -6"},   {101, "Unknown Error Code: 101"},
      {104, "Unknown Error Code: 104"}, {107, "Unknown Error Code: 107"},
      {109, "Unknown Error Code: 109"}, {-32768, "Unknown Error Code: -32768"},
      {32767, "Unknown Error Code: 32767"},
  };
  for (const auto& r : rows) {
    std::int16_t code = r.code;
    EXPECT_EQ(EngineResultText(code), r.text) << r.code;
  }
}

TEST(EngineResultText, ResetsTheCallersVariable) {
  std::int16_t code = -25;
  EXPECT_EQ(EngineResultText(code), "CRC mismatch; error in file");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(EngineResultText(code), "No error");
  std::int16_t unknown = 7;
  EngineResultText(unknown);
  EXPECT_EQ(unknown, 0);
}

}  // namespace
}  // namespace kx
