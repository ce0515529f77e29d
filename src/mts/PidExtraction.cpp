#include "mts/PidExtraction.h"

#include "mts/MtsLog.h"
#include "mts/MtsPacket.h"
#include "mts/OutputFile.h"
#include "mts/TransportUnits.h"

#include <zuk/zuk.h>

#include <limits>

namespace zuk {

namespace {

// Read straight from the packet, so that only the wanted packets are decoded:
// the decode of any other would be skipped for its PID anyway.
uint16_t pidOf(std::span<const uint8_t> packet)
{
    return static_cast<uint16_t>(((packet[1] & 0x1F) << 8) | packet[2]);
}

} // namespace

int32_t extractPidToFile(const std::filesystem::path& pesPath, int32_t pid, std::istream& in, bool bdav)
{
    in.clear();
    in.seekg(0);
    auto pes = OutputFile::create(pesPath);
    if (!pes)
        return ZUK_E_PES_FILE;

    int32_t units = 0;
    UnitReader reader(in, bdav);
    MtsPacket packet;
    while (reader.next()) {
        if (units < std::numeric_limits<int32_t>::max())
            ++units;
        const auto bytes = reader.packet();
        if (pidOf(bytes) != pid)
            continue;
        if (parsePacket(bytes, packet) == 0 && packet.payloadLength > 0 && !pes->write(packet.payload))
            return ZUK_E_WRITE;
    }
    mtsLogSkipped(reader.skippedBytes());
    // A walk that stopped short of the end would pass a cut stream off as whole.
    if (!reader.readToTheEnd())
        return ZUK_E_OPEN;
    return pes->close() ? units : ZUK_E_WRITE;
}

} // namespace zuk
