#pragma once
// From an archive kind and a member's method number (as EntryInfo::method
// holds it, dos_common.h) to the decoder or encoder that handles it, and the
// checksum each format keeps. The one place that knows which method numbers
// exist; callers above it never switch on methods. No Qt, any thread.
#include <cstdint>

#include "engine/codecs/codec_io.h"
#include "engine/functions/kx_identify.h"

namespace kx::codec {

// LHA method numbers: the third and fourth characters of the five-character ID.
constexpr std::uint16_t LhaMethod(char c3, char c4) {
  return std::uint16_t((std::uint8_t(c3) << 8) | std::uint8_t(c4));
}

// Data kept as they are (nothing to decode).
bool IsStoredMethod(ArchiveKind kind, std::uint16_t method);

// Decodes exactly out.Limit() bytes of one member (Unsupported for a method
// no decoder here knows, a folder's or a label's included).
Status DecodeMember(ArchiveKind kind, std::uint16_t method, PackedInput& in, BoundedOutput& out);

// Packs everything `read` gives with the method this code writes for the
// kind: LHA -lh5-, ZOO 2, ARJ 1, ARC the best of EncodeArc. `method` gets the
// number as the format stores it, `packed` the bytes given to `sink`.
Status EncodeMember(ArchiveKind kind, const ReadFn& read, const Sink& sink, std::uint16_t& method,
                    std::uint64_t& packed);

// The stored method writers fall back to when packing does not pay.
std::uint16_t StoredMethod(ArchiveKind kind);

// The member checksum of the kind: CRC-32 for ARJ, CRC-16 for the others.
class MemberCrc {
 public:
  explicit MemberCrc(ArchiveKind kind) : crc32_(kind == ArchiveKind::Arj) {}
  void Add(const std::uint8_t* data, std::size_t n) {
    if (crc32_)
      value_ = Crc32(value_, data, n);
    else
      value_ = Crc16(std::uint16_t(value_), data, n);
  }
  std::uint32_t Value() const { return value_; }

 private:
  bool crc32_;
  std::uint32_t value_ = 0;
};

}  // namespace kx::codec
