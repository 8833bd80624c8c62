#include "engine/functions/kx_percent.h"

std::int16_t KxZipPercent(std::uint64_t size, std::uint64_t packedSize) {
  if (size == 0 || packedSize >= size) return 0;
  // Rounded to the nearest percent, computed without overflow for any size.
  const long double saved = static_cast<long double>(size - packedSize) * 100.0L / static_cast<long double>(size);
  return static_cast<std::int16_t>(saved + 0.5L);
}
