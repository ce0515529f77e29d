#include "mp4/BoxReader.h"

#include <algorithm>

namespace MP4Box {

BoxReader::BoxReader(std::istream& stream, uint64_t endPosition) : in(stream), end(endPosition)
{
    const auto here = in.tellg();
    good = here >= 0;
    at = good ? static_cast<uint64_t>(here) : end;
}

bool BoxReader::bytes(std::span<uint8_t> into)
{
    if (good && into.size() > remaining())
        good = false;
    if (good) {
        in.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
        good = static_cast<size_t>(in.gcount()) == into.size();
        at += static_cast<uint64_t>(in.gcount());
    }
    if (!good)
        std::fill(into.begin(), into.end(), uint8_t{0});
    return good;
}

template <size_t N>
uint64_t BoxReader::bigEndian()
{
    std::array<uint8_t, N> raw{};
    bytes(raw);
    uint64_t value = 0;
    for (const uint8_t byte : raw)
        value = value << 8 | byte;
    return value;
}

uint8_t BoxReader::u8()
{
    return static_cast<uint8_t>(bigEndian<1>());
}

uint16_t BoxReader::u16()
{
    return static_cast<uint16_t>(bigEndian<2>());
}

uint32_t BoxReader::u32()
{
    return static_cast<uint32_t>(bigEndian<4>());
}

uint64_t BoxReader::u64()
{
    return bigEndian<8>();
}

FourCC BoxReader::fourCC()
{
    std::array<uint8_t, 4> raw{};
    bytes(raw);
    return {static_cast<char>(raw[0]), static_cast<char>(raw[1]), static_cast<char>(raw[2]), static_cast<char>(raw[3])};
}

std::vector<uint8_t> BoxReader::rest(uint64_t atMost)
{
    std::vector<uint8_t> all(good ? std::min(remaining(), atMost) : 0);
    bytes(all);
    return all;
}

} // namespace MP4Box
