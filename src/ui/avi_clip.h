#pragma once
// AviClip: the silent video clips that the animation control plays, read from
// a RIFF AVI file with one video stream of uncompressed (8 or 24 bits) or
// RLE8 frames, as the classic animation control accepted them. A clip with a
// sound stream, another codec or anything that does not add up is refused
// whole: the caller then shows no animation.
//
//   RIFF 'AVI '
//     LIST 'hdrl'
//       'avih'  +0 u32 microseconds per frame ... +32 u32 width  +36 u32 height
//       LIST 'strl'
//         'strh'  +0 fcc type ('vids', 'auds' ...)  +4 fcc handler
//         'strf'  BITMAPINFOHEADER (below) + palette (RGBQUAD: blue, green, red, 0)
//     LIST 'movi'
//       '00db' | '00dc'  one frame each, in order
//     'idx1'  (ignored: frames are taken in file order)
//
//   BITMAPINFOHEADER: +0 u32 size (>= 40)  +4 i32 width  +8 i32 height
//     (negative: rows top-down)  +12 u16 planes  +14 u16 bits per pixel
//     +16 u32 compression (0 none, 1 RLE8)  +32 u32 colours used (0: all)
//
// Chunks are padded to an even length. Every size is checked against the
// bytes really there; the decoded frames are capped in total size.
// Plain functions, any thread.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kx {

struct AviClip {
  int width = 0;
  int height = 0;
  int microsPerFrame = 0;
  // Pixels as 0xAARRGGBB, top row first, width * height per frame.
  std::vector<std::vector<std::uint32_t>> frames;
};

// Empty clip (no frames) when the bytes are no playable clip.
AviClip ParseAviClip(std::span<const std::uint8_t> bytes);
AviClip ReadAviClip(const std::string& path);

// Decodes one RLE8 frame (bottom-up rows) onto `indices` (width * height
// palette indices, bottom row first), which holds the previous frame: pixels
// that the codes skip keep their value. False on a code that runs past the
// data. Writes outside the frame are dropped.
bool DecodeRle8(std::span<const std::uint8_t> data, int width, int height, std::vector<std::uint8_t>& indices);

}  // namespace kx
