#pragma once
// The compression ratio the listing shows.
#include <cstdint>

// Saved share of size in percent, rounded; 0 when size is 0 or nothing was saved.
std::int16_t KxZipPercent(std::uint64_t size, std::uint64_t packedSize);
