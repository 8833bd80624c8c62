#include "engine/codecs/lzh_huffman.h"

#include <algorithm>
#include <array>

namespace kx::codec::lzh {
namespace {

using LengthCounts = std::array<std::uint32_t, kMaxCodeLength + 1>;

// The first canonical code of every length.
LengthCounts FirstCodes(const LengthCounts& count) {
  LengthCounts next{};
  std::uint32_t code = 0;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    code = (code + count[len - 1]) << 1;
    next[len] = code;
  }
  return next;
}

}  // namespace

bool HuffmanDecoder::Build(const std::uint8_t* lengths, unsigned n) {
  LengthCounts count{};
  unsigned maxLen = 0;
  for (unsigned s = 0; s < n; ++s) {
    if (lengths[s] > kMaxCodeLength) return false;
    ++count[lengths[s]];
    maxLen = std::max<unsigned>(maxLen, lengths[s]);
  }
  count[0] = 0;
  std::int64_t unusedCodes = 1;
  for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
    unusedCodes = unusedCodes * 2 - count[len];
    if (unusedCodes < 0) return false;
  }

  table_.assign(std::size_t(1) << tableBits_, kInvalid);
  LengthCounts next = FirstCodes(count);
  const unsigned subBits = maxLen > tableBits_ ? maxLen - tableBits_ : 0;
  for (unsigned s = 0; s < n; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) continue;
    const std::uint32_t code = next[len]++;
    if (len <= tableBits_) {
      const std::size_t first = std::size_t(code) << (tableBits_ - len);
      std::fill_n(table_.begin() + std::ptrdiff_t(first), std::size_t(1) << (tableBits_ - len),
                  (std::uint32_t(len) << kLengthShift) | s);
      continue;
    }
    const std::size_t prefix = code >> (len - tableBits_);
    if (table_[prefix] == kInvalid) {
      const std::size_t offset = table_.size();
      table_.resize(offset + (std::size_t(1) << subBits), kInvalid);
      table_[prefix] = kLink | (std::uint32_t(subBits) << kSubBitsShift) | std::uint32_t(offset);
    }
    const std::size_t offset = table_[prefix] & kOffsetMask;
    const std::uint32_t low = code & ((1u << (len - tableBits_)) - 1);
    const std::size_t first = offset + (std::size_t(low) << (maxLen - len));
    std::fill_n(table_.begin() + std::ptrdiff_t(first), std::size_t(1) << (maxLen - len),
                (std::uint32_t(len - tableBits_) << kLengthShift) | s);
  }
  return true;
}

void HuffmanDecoder::BuildSingle(std::uint16_t symbol) { table_.assign(std::size_t(1) << tableBits_, symbol); }

unsigned BuildCodeLengths(const std::uint32_t* freq, unsigned n, unsigned maxLength, std::uint8_t* lengths) {
  std::fill_n(lengths, n, std::uint8_t(0));
  // Symbols in use, rarest first (ties by symbol, so the result is stable).
  std::vector<std::uint32_t> order;
  for (unsigned s = 0; s < n; ++s) {
    if (freq[s] != 0) order.push_back(s);
  }
  const unsigned m = unsigned(order.size());
  if (m == 0) return 0;
  if (m == 1) {
    lengths[order[0]] = 1;
    return 1;
  }
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return freq[a] < freq[b]; });

  // Huffman's construction with two queues: the sorted leaves and the
  // internal nodes, which are made in order of growing weight.
  std::vector<std::uint64_t> weight(2 * m - 1);
  std::vector<std::uint32_t> parent(2 * m - 1, 0);
  for (unsigned i = 0; i < m; ++i) weight[i] = freq[order[i]];
  unsigned leaf = 0, inner = m;
  auto takeSmallest = [&](unsigned made) {
    if (leaf < m && (inner >= made || weight[leaf] <= weight[inner])) return leaf++;
    return inner++;
  };
  for (unsigned made = m; made < 2 * m - 1; ++made) {
    const unsigned a = takeSmallest(made);
    const unsigned b = takeSmallest(made);
    weight[made] = weight[a] + weight[b];
    parent[a] = parent[b] = made;
  }
  std::vector<std::uint32_t> depth(2 * m - 1, 0);
  for (unsigned i = 2 * m - 2; i-- > 0;) depth[i] = depth[parent[i]] + 1;

  // How many symbols get each length; deeper ones are pulled up to the
  // limit, then the code is made to fit again by lengthening shorter codes.
  std::vector<std::uint32_t> count(std::max(maxLength, *std::max_element(depth.begin(), depth.begin() + m)) + 1, 0);
  for (unsigned i = 0; i < m; ++i) ++count[depth[i]];
  for (unsigned len = maxLength + 1; len < count.size(); ++len) {
    count[maxLength] += count[len];
    count[len] = 0;
  }
  std::uint64_t kraft = 0;
  for (unsigned len = 1; len <= maxLength; ++len) kraft += std::uint64_t(count[len]) << (maxLength - len);
  while (kraft > (std::uint64_t(1) << maxLength)) {
    --count[maxLength];
    for (unsigned len = maxLength - 1; len > 0; --len) {
      if (count[len] != 0) {
        --count[len];
        count[len + 1] += 2;
        break;
      }
    }
    --kraft;
  }
  // The rarest symbols take the longest codes.
  unsigned i = 0;
  for (unsigned len = maxLength; len > 0; --len) {
    for (std::uint32_t k = 0; k < count[len]; ++k) lengths[order[i++]] = std::uint8_t(len);
  }
  return m;
}

void AssignCanonicalCodes(const std::uint8_t* lengths, unsigned n, std::uint16_t* codes) {
  LengthCounts count{};
  for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
  count[0] = 0;
  LengthCounts next = FirstCodes(count);
  for (unsigned s = 0; s < n; ++s) codes[s] = lengths[s] != 0 ? std::uint16_t(next[lengths[s]]++) : 0;
}

}  // namespace kx::codec::lzh
