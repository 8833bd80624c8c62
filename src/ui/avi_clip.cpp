#include "ui/avi_clip.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace kx {
namespace {

constexpr std::size_t kChunkHeader = 8;
constexpr std::size_t kAvihWidth = 32;
constexpr std::size_t kAvihHeight = 36;
constexpr std::size_t kAvihSize = 40;
constexpr std::size_t kBmpSize = 40;
constexpr std::size_t kBmpWidth = 4;
constexpr std::size_t kBmpHeight = 8;
constexpr std::size_t kBmpBits = 14;
constexpr std::size_t kBmpCompression = 16;
constexpr std::size_t kBmpColoursUsed = 32;
constexpr std::uint32_t kCompressionNone = 0;
constexpr std::uint32_t kCompressionRle8 = 1;
constexpr int kMaxSide = 4096;
constexpr std::size_t kMaxPixelsTotal = 64u * 1024 * 1024;  // all frames together
constexpr int kDefaultMicrosPerFrame = 66'667;               // 15 frames a second
constexpr int kMaxNesting = 8;

std::uint32_t Le32At(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
         std::uint32_t(b[at + 3]) << 24;
}
std::uint16_t Le16At(std::span<const std::uint8_t> b, std::size_t at) {
  return std::uint16_t(b[at] | b[at + 1] << 8);
}
bool IsFourCc(std::span<const std::uint8_t> b, std::size_t at, const char* fcc) {
  return std::memcmp(b.data() + at, fcc, 4) == 0;
}

struct VideoFormat {
  int width = 0;
  int height = 0;
  bool topDown = false;
  int bits = 0;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> palette;
};

struct Walk {
  int microsPerFrame = 0;
  int headerWidth = 0, headerHeight = 0;
  int videoStreams = 0;
  bool sound = false;
  bool pendingVideo = false;  // the last 'strh' was a video stream
  bool haveFormat = false;
  VideoFormat format;
  std::vector<std::span<const std::uint8_t>> frameData;
  bool broken = false;
};

bool ReadFormat(std::span<const std::uint8_t> strf, VideoFormat& f) {
  if (strf.size() < kBmpSize) return false;
  const std::uint32_t headerSize = Le32At(strf, 0);
  if (headerSize < kBmpSize || headerSize > strf.size()) return false;
  const auto width = static_cast<std::int32_t>(Le32At(strf, kBmpWidth));
  const auto height = static_cast<std::int32_t>(Le32At(strf, kBmpHeight));
  if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide) return false;
  f.width = width;
  f.topDown = height < 0;
  f.height = height < 0 ? -height : height;
  f.bits = Le16At(strf, kBmpBits);
  f.compression = Le32At(strf, kBmpCompression);
  const bool plain = f.compression == kCompressionNone && (f.bits == 8 || f.bits == 24);
  const bool rle8 = f.compression == kCompressionRle8 && f.bits == 8 && !f.topDown;
  if (!plain && !rle8) return false;
  if (f.bits == 8) {
    std::uint32_t colours = Le32At(strf, kBmpColoursUsed);
    if (colours == 0 || colours > 256) colours = 256;
    const std::size_t available = (strf.size() - headerSize) / 4;
    if (available < colours) colours = static_cast<std::uint32_t>(available);
    if (colours == 0) return false;
    f.palette.assign(256, 0xff000000u);
    for (std::uint32_t i = 0; i < colours; ++i) {
      const std::size_t at = headerSize + 4 * i;
      f.palette[i] = 0xff000000u | std::uint32_t(strf[at + 2]) << 16 | std::uint32_t(strf[at + 1]) << 8 | strf[at];
    }
  }
  return true;
}

// Walks the chunks of one list body; nested lists recurse (bounded).
void WalkChunks(std::span<const std::uint8_t> body, Walk& w, int depth) {
  if (depth > kMaxNesting) { w.broken = true; return; }
  std::size_t at = 0;
  while (body.size() - at >= kChunkHeader) {
    const std::uint32_t size = Le32At(body, at + 4);
    if (size > body.size() - at - kChunkHeader) { w.broken = true; return; }
    const auto data = body.subspan(at + kChunkHeader, size);
    if (IsFourCc(body, at, "LIST")) {
      if (size < 4) { w.broken = true; return; }
      WalkChunks(data.subspan(4), w, depth + 1);
      if (w.broken) return;
    } else if (IsFourCc(body, at, "avih")) {
      if (size < kAvihSize) { w.broken = true; return; }
      w.microsPerFrame = static_cast<int>(Le32At(data, 0) & 0x7fffffff);
      w.headerWidth = static_cast<int>(Le32At(data, kAvihWidth) & 0x7fffffff);
      w.headerHeight = static_cast<int>(Le32At(data, kAvihHeight) & 0x7fffffff);
    } else if (IsFourCc(body, at, "strh")) {
      if (size < 8) { w.broken = true; return; }
      w.pendingVideo = IsFourCc(data, 0, "vids");
      if (w.pendingVideo) ++w.videoStreams;
      else if (IsFourCc(data, 0, "auds")) w.sound = true;
    } else if (IsFourCc(body, at, "strf")) {
      if (w.pendingVideo && !w.haveFormat) {
        if (!ReadFormat(data, w.format)) { w.broken = true; return; }
        w.haveFormat = true;
      }
    } else if (IsFourCc(body, at, "00db") || IsFourCc(body, at, "00dc")) {
      w.frameData.push_back(data);
    }
    const std::size_t padded = std::size_t(size) + (size & 1);
    if (padded > body.size() - at - kChunkHeader) break;  // last chunk without its pad byte
    at += kChunkHeader + padded;
  }
}

bool DecodePlain(std::span<const std::uint8_t> data, const VideoFormat& f, std::vector<std::uint32_t>& out) {
  const std::size_t stride = (std::size_t(f.width) * f.bits + 31) / 32 * 4;
  if (data.size() < stride * f.height) return false;
  for (int row = 0; row < f.height; ++row) {
    const int y = f.topDown ? row : f.height - 1 - row;
    const std::uint8_t* src = data.data() + stride * row;
    std::uint32_t* dst = out.data() + std::size_t(y) * f.width;
    for (int x = 0; x < f.width; ++x) {
      if (f.bits == 8) {
        dst[x] = f.palette[src[x]];
      } else {
        const std::uint8_t* p = src + 3 * x;
        dst[x] = 0xff000000u | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
      }
    }
  }
  return true;
}

}  // namespace

bool DecodeRle8(std::span<const std::uint8_t> data, int width, int height, std::vector<std::uint8_t>& indices) {
  long x = 0, y = 0;
  const auto put = [&](std::uint8_t value) {
    if (x >= 0 && x < width && y >= 0 && y < height) indices[std::size_t(y) * width + x] = value;
    ++x;
  };
  std::size_t at = 0;
  while (at + 2 <= data.size()) {
    const std::uint8_t count = data[at];
    const std::uint8_t value = data[at + 1];
    at += 2;
    if (count > 0) {
      for (int i = 0; i < count; ++i) put(value);
      continue;
    }
    switch (value) {
      case 0: x = 0; ++y; break;   // end of line
      case 1: return true;         // end of bitmap
      case 2:                      // delta: move right and up
        if (at + 2 > data.size()) return false;
        x += data[at];
        y += data[at + 1];
        at += 2;
        break;
      default: {                   // absolute run, padded to a 16-bit boundary
        const std::size_t n = value;
        if (n > data.size() - at) return false;
        for (std::size_t i = 0; i < n; ++i) put(data[at + i]);
        at += n + (n & 1);
        break;
      }
    }
    if (y > height) return true;   // everything further is off the frame
  }
  return true;  // a frame may end without its end-of-bitmap code
}

AviClip ParseAviClip(std::span<const std::uint8_t> bytes) {
  AviClip clip;
  if (bytes.size() < 12 || !IsFourCc(bytes, 0, "RIFF") || !IsFourCc(bytes, 8, "AVI ")) return clip;
  const std::uint32_t riffSize = Le32At(bytes, 4);
  if (riffSize < 4) return clip;
  // A RIFF size beyond the file means a cut-off clip: refuse it rather than
  // play half of it.
  if (riffSize > bytes.size() - 8) return clip;
  Walk w;
  WalkChunks(bytes.subspan(12, riffSize - 4), w, 0);
  if (w.broken || w.sound || w.videoStreams != 1 || !w.haveFormat || w.frameData.empty()) return clip;

  const VideoFormat& f = w.format;
  const std::size_t pixels = std::size_t(f.width) * f.height;
  if (pixels * w.frameData.size() > kMaxPixelsTotal) return clip;

  std::vector<std::vector<std::uint32_t>> frames;
  frames.reserve(w.frameData.size());
  std::vector<std::uint8_t> indices(pixels, 0);  // RLE8 frames draw over the one before
  for (const auto& data : w.frameData) {
    std::vector<std::uint32_t> frame(pixels);
    if (f.compression == kCompressionRle8) {
      if (!DecodeRle8(data, f.width, f.height, indices)) return clip;
      for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
          frame[std::size_t(f.height - 1 - y) * f.width + x] = f.palette[indices[std::size_t(y) * f.width + x]];
    } else if (!DecodePlain(data, f, frame)) {
      return clip;
    }
    frames.push_back(std::move(frame));
  }
  clip.width = f.width;
  clip.height = f.height;
  clip.microsPerFrame = w.microsPerFrame > 0 ? w.microsPerFrame : kDefaultMicrosPerFrame;
  clip.frames = std::move(frames);
  return clip;
}

AviClip ReadAviClip(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  if (size <= 0 || size > std::streamoff(256) * 1024 * 1024) return {};
  in.seekg(0);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return {};
  return ParseAviClip(bytes);
}

}  // namespace kx
