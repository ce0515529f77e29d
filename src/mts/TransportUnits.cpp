#include "mts/TransportUnits.h"

#include "mts/MtsPacket.h"

#include <algorithm>

namespace zuk {

namespace {

// About 64 KB: large reads cost far less than many small ones.
constexpr size_t kUnitsPerBlock = 340;

} // namespace

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
