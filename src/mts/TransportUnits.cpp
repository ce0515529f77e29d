#include "mts/TransportUnits.h"

#include "mts/MtsPacket.h"

#include <algorithm>
#include <fstream>
#include <vector>

namespace zuk {

namespace {

// Enough consecutive sync bytes that neither framing shows by chance.
constexpr size_t kFramingUnits = 5;
// How far into a file its first unit is looked for: what comes before it is
// junk that the reader steps over.
constexpr size_t kFramingSearch = 1 << 16;

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
    for (size_t from = 0; from < start.size(); ++from) {
        const auto rest = start.subspan(from);
        const bool plain = syncBytesEvery(rest, kPacketSize, 0);
        const bool bdav = syncBytesEvery(rest, kBdavUnitSize, kBdavPrefixSize);
        if (plain || bdav)
            return plain == bdav ? std::nullopt : std::optional<bool>(bdav);
    }
    return std::nullopt;
}

std::optional<bool> bdavFramingOfFile(const std::filesystem::path& path)
{
    std::vector<uint8_t> start(kFramingSearch + kFramingUnits * kBdavUnitSize);
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    in.read(reinterpret_cast<char*>(start.data()), static_cast<std::streamsize>(start.size()));
    const auto got = static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
    return bdavFramingOf(std::span<const uint8_t>(start).first(got));
}

UnitReader::UnitReader(std::istream& in, bool bdav)
    : window(in, 2 * kBdavUnitSize),
      unitSize(bdav ? kBdavUnitSize : kPacketSize),
      packetOffset(bdav ? kBdavPrefixSize : 0)
{
}

// A unit that follows one read in step needs only its own sync byte; any
// other needs the next unit's too, so that a 0x47 among other bytes is not
// taken for one.
bool UnitReader::startsUnit(std::span<const uint8_t> bytes) const
{
    if (bytes[packetOffset] != kSyncByte)
        return false;
    const size_t nextSync = unitSize + packetOffset;
    return inStep || bytes.size() <= nextSync || bytes[nextSync] == kSyncByte;
}

bool UnitReader::next()
{
    window.skip(unit.size());
    unit = {};
    while (true) {
        const auto bytes = window.ahead(unitSize + packetOffset + 1);
        // A unit cut short by the end of the stream is not handed out.
        if (bytes.size() < unitSize) {
            if (!inStep)
                skipped += bytes.size();
            window.skip(bytes.size());
            return false;
        }
        inStep = startsUnit(bytes);
        if (inStep) {
            unit = bytes.first(unitSize);
            return true;
        }
        window.skip(1);
        ++skipped;
    }
}

std::span<const uint8_t> UnitReader::packet() const
{
    return unit.subspan(packetOffset, kPacketSize);
}

uint64_t UnitReader::skippedBytes() const
{
    return skipped;
}

bool UnitReader::readToTheEnd() const
{
    return window.readToTheEnd();
}

} // namespace zuk
