#include "engine/codecs/member_codec.h"

#include "engine/codecs/arc_codecs.h"
#include "engine/codecs/arj_fastest.h"
#include "engine/codecs/lzh_dynamic.h"
#include "engine/codecs/lzh_static.h"

namespace kx::codec {
namespace {

// ARJ: 0 stored, 1 to 3 the static Huffman coding, 4 "fastest".
constexpr std::uint16_t kArjStored = 0;
constexpr std::uint16_t kArjPacked = 1;
constexpr std::uint16_t kArjLastLzh = 3;
constexpr std::uint16_t kArjFastest = 4;

// ARC: 1 (old header) and 2 stored, 3 to 9 packed.
constexpr std::uint16_t kArcOldStored = 1;
constexpr std::uint16_t kArcStored = 2;
constexpr std::uint16_t kArcFirstPacked = 3;
constexpr std::uint16_t kArcLastPacked = 9;

// ZOO: 0 stored, 1 LZW, 2 the same coding as -lh5-.
constexpr std::uint16_t kZooStored = 0;
constexpr std::uint16_t kZooLzw = 1;
constexpr std::uint16_t kZooLh5 = 2;

Status DecodeLha(std::uint16_t method, PackedInput& in, BoundedOutput& out) {
  switch (method) {
    case LhaMethod('h', '0'):
    case LhaMethod('z', '4'): return CopyStored(in, out);
    case LhaMethod('h', '1'): return DecodeLh1(in, out);
    case LhaMethod('h', '4'): return DecodeLzhStatic(LzhVariant::Lh4, in, out);
    case LhaMethod('h', '5'): return DecodeLzhStatic(LzhVariant::Lh5, in, out);
    case LhaMethod('h', '6'): return DecodeLzhStatic(LzhVariant::Lh6, in, out);
    case LhaMethod('h', '7'): return DecodeLzhStatic(LzhVariant::Lh7, in, out);
    case LhaMethod('z', 's'): return DecodeLzs(in, out);
    case LhaMethod('z', '5'): return DecodeLz5(in, out);
    default: return Status::Unsupported;
  }
}

Status DecodeArj(std::uint16_t method, PackedInput& in, BoundedOutput& out) {
  if (method == kArjStored) return CopyStored(in, out);
  if (method >= kArjPacked && method <= kArjLastLzh) return DecodeLzhStatic(LzhVariant::Arj, in, out);
  if (method == kArjFastest) return DecodeArjFastest(in, out);
  return Status::Unsupported;
}

Status DecodeArcMember(std::uint16_t method, PackedInput& in, BoundedOutput& out) {
  if (method == kArcOldStored || method == kArcStored) return CopyStored(in, out);
  if (method >= kArcFirstPacked && method <= kArcLastPacked) return DecodeArc(std::uint8_t(method), in, out);
  return Status::Unsupported;
}

Status DecodeZoo(std::uint16_t method, PackedInput& in, BoundedOutput& out) {
  switch (method) {
    case kZooStored: return CopyStored(in, out);
    case kZooLzw: return DecodeZooLzw(in, out);
    case kZooLh5: return DecodeLzhStatic(LzhVariant::Lh5, in, out);
    default: return Status::Unsupported;
  }
}

}  // namespace

bool IsStoredMethod(ArchiveKind kind, std::uint16_t method) {
  switch (kind) {
    case ArchiveKind::Lha: return method == LhaMethod('h', '0') || method == LhaMethod('z', '4');
    case ArchiveKind::Arj: return method == kArjStored;
    case ArchiveKind::Arc: return method == kArcOldStored || method == kArcStored;
    case ArchiveKind::Zoo: return method == kZooStored;
    default: return false;
  }
}

Status DecodeMember(ArchiveKind kind, std::uint16_t method, PackedInput& in, BoundedOutput& out) {
  switch (kind) {
    case ArchiveKind::Lha: return DecodeLha(method, in, out);
    case ArchiveKind::Arj: return DecodeArj(method, in, out);
    case ArchiveKind::Arc: return DecodeArcMember(method, in, out);
    case ArchiveKind::Zoo: return DecodeZoo(method, in, out);
    default: return Status::Unsupported;
  }
}

Status EncodeMember(ArchiveKind kind, const ReadFn& read, const Sink& sink, std::uint16_t& method,
                    std::uint64_t& packed) {
  switch (kind) {
    case ArchiveKind::Lha:
      method = LhaMethod('h', '5');
      return EncodeLzhStatic(LzhVariant::Lh5, read, sink, packed);
    case ArchiveKind::Zoo:
      method = kZooLh5;
      return EncodeZooLzh(read, sink, packed);
    case ArchiveKind::Arj:
      method = kArjPacked;
      return EncodeLzhStatic(LzhVariant::Arj, read, sink, packed);
    case ArchiveKind::Arc: {
      std::uint8_t arcMethod = 0;
      const Status s = EncodeArc(read, sink, arcMethod, packed);
      method = arcMethod;
      return s;
    }
    default: return Status::Unsupported;
  }
}

std::uint16_t StoredMethod(ArchiveKind kind) {
  switch (kind) {
    case ArchiveKind::Lha: return LhaMethod('h', '0');
    case ArchiveKind::Arc: return kArcStored;
    case ArchiveKind::Zoo: return kZooStored;
    default: return kArjStored;
  }
}

}  // namespace kx::codec
