#pragma once
// Raw deflate streams compressed on their own can be laid end to end as one
// stream when every one but the last is left open: its final block marked
// not final and an empty stored block appended, which ends it on a byte
// boundary (the marker a sync flush writes). libdeflate compresses whole
// buffers only and always closes its stream, so the position of the last
// block's header and of the stream's end bit are found by decoding the
// stream once with zlib, which stops at block boundaries.
//
// Any thread; no shared state.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kx {

// Leaves `stream` (one complete raw deflate stream that decodes to exactly
// plainSize bytes) open for the next stream to follow. false, with `stream`
// unchanged, when it does not decode to exactly that.
bool LeaveDeflateStreamOpen(std::vector<std::uint8_t>& stream, std::size_t plainSize);

}  // namespace kx
