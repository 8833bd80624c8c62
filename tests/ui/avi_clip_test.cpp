#include "ui/avi_clip.h"

#include <QImage>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "ui/animation_control.h"

namespace kx {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kBin = KX_BIN_DIR;

void Put32(Bytes& b, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void PutFcc(Bytes& b, const char* fcc) { b.insert(b.end(), fcc, fcc + 4); }
Bytes Chunk(const char* fcc, const Bytes& data) {
  Bytes c;
  PutFcc(c, fcc);
  Put32(c, static_cast<std::uint32_t>(data.size()));
  c.insert(c.end(), data.begin(), data.end());
  if (data.size() & 1) c.push_back(0);
  return c;
}
Bytes List(const char* type, const Bytes& body) {
  Bytes data;
  PutFcc(data, type);
  data.insert(data.end(), body.begin(), body.end());
  return Chunk("LIST", data);
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct ClipSpec {
  int width = 3, height = 2, bits = 8;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette = {0x000000, 0xff0000, 0x00ff00, 0x0000ff};  // 0xRRGGBB
  std::vector<Bytes> frames;
  bool withSound = false;
};

// A clip as the classic tools wrote them, small enough to check every pixel.
Bytes MakeClip(const ClipSpec& s) {
  Bytes avih;
  for (std::uint32_t v : {100'000u, 0u, 0u, 0u, std::uint32_t(s.frames.size()), 0u, 1u, 0u, std::uint32_t(s.width),
                          std::uint32_t(std::abs(s.height)), 0u, 0u, 0u, 0u})
    Put32(avih, v);
  Bytes strh;
  PutFcc(strh, "vids");
  PutFcc(strh, s.compression ? "mrle" : "DIB ");
  for (int i = 0; i < 12; ++i) Put32(strh, 0);
  Bytes strf;
  for (std::uint32_t v : {40u, std::uint32_t(s.width), std::uint32_t(s.height)}) Put32(strf, v);
  strf.push_back(1), strf.push_back(0), strf.push_back(std::uint8_t(s.bits)), strf.push_back(0);
  for (std::uint32_t v : {s.compression, 0u, 0u, 0u, std::uint32_t(s.palette.size()), 0u}) Put32(strf, v);
  for (std::uint32_t rgb : s.palette) {
    strf.push_back(std::uint8_t(rgb)), strf.push_back(std::uint8_t(rgb >> 8));
    strf.push_back(std::uint8_t(rgb >> 16)), strf.push_back(0);
  }
  Bytes streams = List("strl", Cat({Chunk("strh", strh), Chunk("strf", strf)}));
  if (s.withSound) {
    Bytes sound;
    PutFcc(sound, "auds");
    for (int i = 0; i < 13; ++i) Put32(sound, 0);
    streams = Cat({streams, List("strl", Cat({Chunk("strh", sound), Chunk("strf", Bytes(18, 0))}))});
  }
  Bytes movi;
  for (const auto& f : s.frames) movi = Cat({movi, Chunk(s.compression ? "00dc" : "00db", f)});
  Bytes body;
  PutFcc(body, "AVI ");
  body = Cat({body, List("hdrl", Cat({Chunk("avih", avih), streams})), List("movi", movi)});
  return Chunk("RIFF", body);
}

constexpr std::uint32_t kBlack = 0xff000000, kRed = 0xffff0000, kGreen = 0xff00ff00, kBlue = 0xff0000ff;

TEST(AviClip, UncompressedFramesAreReadBottomUpWithPaddedRows) {
  ClipSpec s;
  // Rows of 3 pixels padded to 4 bytes; the first row stored is the bottom one.
  s.frames = {{1, 2, 3, 0xEE, 3, 2, 1, 0xEE}, {0, 0, 0, 0, 1, 1, 1, 0}};
  const AviClip clip = ParseAviClip(MakeClip(s));
  ASSERT_EQ(clip.frames.size(), 2u);
  EXPECT_EQ(clip.width, 3);
  EXPECT_EQ(clip.height, 2);
  EXPECT_EQ(clip.microsPerFrame, 100'000);
  EXPECT_EQ(clip.frames[0], (std::vector<std::uint32_t>{kBlue, kGreen, kRed, kRed, kGreen, kBlue}));
  EXPECT_EQ(clip.frames[1], (std::vector<std::uint32_t>{kRed, kRed, kRed, kBlack, kBlack, kBlack}));
}

TEST(AviClip, TrueColourTopDownFramesKeepTheirRowOrder) {
  ClipSpec s;
  s.bits = 24;
  s.width = 2;
  s.height = -2;
  s.palette.clear();
  // Blue, green, red bytes; 6 bytes a row padded to 8.
  s.frames = {{0xff, 0, 0, 0, 0xff, 0, 0, 0, /* row 2 */ 0, 0, 0xff, 0, 0, 0, 0, 0}};
  const AviClip clip = ParseAviClip(MakeClip(s));
  ASSERT_EQ(clip.frames.size(), 1u);
  EXPECT_EQ(clip.frames[0], (std::vector<std::uint32_t>{kBlue, kGreen, kRed, kBlack}));
}

TEST(AviClip, Rle8CodesRunsAbsoluteStretchesDeltasAndLineEnds) {
  ClipSpec s;
  s.width = 4;
  s.height = 3;
  s.compression = 1;
  s.frames = {
      // bottom row: two red, then absolute 3 values (padded); next row: EOL
      // only; top row: delta right 1, then one blue; end of bitmap.
      {2, 1, 0, 3, 2, 3, 1, 0, /*EOL*/ 0, 0, /*EOL*/ 0, 0, /*delta*/ 0, 2, 1, 0, 1, 3, 0, 1},
      // The next frame draws over the first: only pixel 0 of the bottom row changes.
      {1, 2, 0, 1},
  };
  const AviClip clip = ParseAviClip(MakeClip(s));
  ASSERT_EQ(clip.frames.size(), 2u);
  const std::vector<std::uint32_t> first = {kBlack, kBlue, kBlack, kBlack,   // top
                                            kBlack, kBlack, kBlack, kBlack,  // middle
                                            kRed,   kRed,   kGreen, kBlue};  // bottom (5th value dropped)
  EXPECT_EQ(clip.frames[0], first);
  std::vector<std::uint32_t> second = first;
  second[8] = kGreen;
  EXPECT_EQ(clip.frames[1], second);
}

TEST(AviClip, Rle8NeverWritesOutsideTheFrameAndRefusesCutStretches) {
  std::vector<std::uint8_t> pixels(4, 9);
  // A run far past the row end, a delta far above the frame: dropped, not written.
  EXPECT_TRUE(DecodeRle8(std::vector<std::uint8_t>{255, 1, 0, 2, 200, 200, 5, 1}, 2, 2, pixels));
  EXPECT_EQ(pixels, (std::vector<std::uint8_t>{1, 1, 9, 9}));
  EXPECT_FALSE(DecodeRle8(std::vector<std::uint8_t>{0, 8, 1, 2}, 2, 2, pixels)) << "absolute stretch past the data";
  EXPECT_FALSE(DecodeRle8(std::vector<std::uint8_t>{0, 2, 1}, 2, 2, pixels)) << "delta without its offsets";
}

TEST(AviClip, RefusesWhatTheClassicControlCouldNotPlay) {
  ClipSpec sound;
  sound.frames = {Bytes(8, 1)};
  sound.withSound = true;
  EXPECT_TRUE(ParseAviClip(MakeClip(sound)).frames.empty()) << "a clip with sound";

  ClipSpec fourBits;
  fourBits.bits = 4;
  fourBits.frames = {Bytes(8, 1)};
  EXPECT_TRUE(ParseAviClip(MakeClip(fourBits)).frames.empty()) << "4 bits per pixel";

  ClipSpec shortFrame;
  shortFrame.frames = {Bytes(5, 1)};
  EXPECT_TRUE(ParseAviClip(MakeClip(shortFrame)).frames.empty()) << "a frame shorter than its rows";

  ClipSpec noFrames;
  EXPECT_TRUE(ParseAviClip(MakeClip(noFrames)).frames.empty());

  ClipSpec ok;
  ok.frames = {Bytes(8, 1)};
  Bytes bytes = MakeClip(ok);
  bytes[4] += 100;  // RIFF size beyond the file
  EXPECT_TRUE(ParseAviClip(bytes).frames.empty());
  EXPECT_TRUE(ParseAviClip(Bytes{'R', 'I', 'F', 'F'}).frames.empty());
}

TEST(AviClip, TheProgramsOwnClipsPlayAndACutOneDoesNot) {
  for (const char* name : {"filecopy.avi", "filedelr.avi", "search.avi"}) {
    SCOPED_TRACE(name);
    const AviClip clip = ReadAviClip(kBin + "/" + name);
    ASSERT_GT(clip.frames.size(), 8u);
    EXPECT_EQ(clip.width, 272);
    EXPECT_EQ(clip.height, 60);
    EXPECT_NE(clip.frames.front(), clip.frames[clip.frames.size() / 2]) << "the picture moves";
    EXPECT_EQ(clip.frames.front().front(), 0xffc0c0c0u) << "corner is the transparent background";

    AnimationControl control;
    control.setAutoPlay(true);
    EXPECT_TRUE(control.open(QString::fromStdString(kBin + "/" + name)));
    EXPECT_TRUE(control.isPlaying());
    EXPECT_EQ(control.clipSize(), QSize(272, 60));
  }

  kxtest::TempDir dir;
  const std::string whole = kxtest::ReadFile(kBin + "/filecopy.avi");
  for (std::size_t cut : {std::size_t(0), std::size_t(11), std::size_t(200), whole.size() / 2, whole.size() - 1}) {
    SCOPED_TRACE(cut);
    kxtest::WriteFile(dir / "cut.avi", whole.substr(0, cut));
    EXPECT_TRUE(ReadAviClip((dir / "cut.avi").string()).frames.empty());
    AnimationControl control;
    control.setAutoPlay(true);
    EXPECT_FALSE(control.open(QString::fromStdString((dir / "cut.avi").string())));
    EXPECT_FALSE(control.isPlaying());
    EXPECT_FALSE(control.isOpen());
  }
}

}  // namespace
}  // namespace kx
