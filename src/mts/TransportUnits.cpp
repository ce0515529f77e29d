#include "mts/TransportUnits.h"

#include "mts/MtsPacket.h"

namespace zuk {

UnitReader::UnitReader(std::istream& input, bool bdav)
    : in(input), unitSize(bdav ? kBdavUnitSize : kPacketSize), packetOffset(bdav ? kBdavPrefixSize : 0)
{
}

bool UnitReader::next()
{
    in.read(reinterpret_cast<char*>(unit.data()), static_cast<std::streamsize>(unitSize));
    return static_cast<size_t>(in.gcount()) == unitSize;
}

std::span<const uint8_t> UnitReader::packet() const
{
    return std::span<const uint8_t>(unit).subspan(packetOffset, kPacketSize);
}

} // namespace zuk
