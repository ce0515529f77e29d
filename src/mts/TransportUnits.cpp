#include "mts/TransportUnits.h"

#include "mts/MtsPacket.h"

#include <algorithm>
#include <array>
#include <fstream>

namespace zuk {

namespace {

// About 64 KB: large reads cost far less than many small ones.
constexpr size_t kUnitsPerBlock = 340;

// Enough consecutive sync bytes that neither framing shows by chance.
constexpr size_t kFramingUnits = 5;

bool syncBytesEvery(std::span<const uint8_t> start, size_t unitSize, size_t offset)
{
    if (start.size() < kFramingUnits * unitSize)
        return false;
    for (size_t unit = 0; unit < kFramingUnits; ++unit)
        if (start[unit * unitSize + offset] != kSyncByte)
            return false;
    return true;
}

} // namespace

std::optional<bool> bdavFramingOf(std::span<const uint8_t> start)
{
    const bool plain = syncBytesEvery(start, kPacketSize, 0);
    const bool bdav = syncBytesEvery(start, kBdavUnitSize, kBdavPrefixSize);
    if (plain == bdav)
        return std::nullopt;
    return bdav;
}

std::optional<bool> bdavFramingOfFile(const std::filesystem::path& path)
{
    std::array<uint8_t, kFramingUnits * kBdavUnitSize> start{};
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.read(reinterpret_cast<char*>(start.data()), static_cast<std::streamsize>(start.size()));
    const auto got = static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return bdavFramingOf(std::span<const uint8_t>(start).first(got));
}

UnitReader::UnitReader(std::istream& input, bool bdav)
    : in(input), unitSize(bdav ? kBdavUnitSize : kPacketSize), packetOffset(bdav ? kBdavPrefixSize : 0),
      blockSize(unitSize * kUnitsPerBlock), block(std::make_unique_for_overwrite<uint8_t[]>(blockSize))
{
}

bool UnitReader::next()
{
    if (current < unitsInBlock) {
        ++current;
        return true;
    }
    if (!in)
        return false;
    in.read(reinterpret_cast<char*>(block.get()), static_cast<std::streamsize>(blockSize));
    // A unit cut short by the end of the stream is not handed out.
    unitsInBlock = static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)) / unitSize;
    current = unitsInBlock > 0 ? 1 : 0;
    return current == 1;
}

std::span<const uint8_t> UnitReader::packet() const
{
    return std::span<const uint8_t>(block.get(), blockSize).subspan((current - 1) * unitSize + packetOffset, kPacketSize);
}

} // namespace zuk
