#include "mts/Bits.h"

#include <algorithm>

namespace zuk {

uint64_t getBits(std::span<const uint8_t> bytes, unsigned lowBit, unsigned highBit)
{
    const size_t count = std::min<size_t>(bytes.size(), 8);
    uint64_t value = 0;
    for (size_t i = 0; i < count; ++i)
        value = (value << 8) | bytes[i];
    if (lowBit >= 64 || highBit <= lowBit)
        return 0;
    const unsigned width = std::min(highBit, 64u) - lowBit;
    const uint64_t mask = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    return (value >> lowBit) & mask;
}

uint8_t getByteBits(uint8_t byte, unsigned lowBit, unsigned highBit)
{
    return static_cast<uint8_t>(getBits(std::span<const uint8_t>(&byte, 1), lowBit, highBit));
}

} // namespace zuk
