// Bit fields of big-endian byte runs, as transport packets and their tables
// lay them out.
#pragma once

#include <cstdint>
#include <span>

namespace zuk {

// Reads `bytes` (1 to 8 of them; any beyond the eighth are ignored) as one
// big-endian number and returns its bits from `lowBit` up to but not including
// `highBit`, bit 0 being the least significant, shifted down to bit 0.
uint64_t getBits(std::span<const uint8_t> bytes, unsigned lowBit, unsigned highBit);

// The same on one byte.
uint8_t getByteBits(uint8_t byte, unsigned lowBit, unsigned highBit);

} // namespace zuk
