#include "mts/PidExtraction.h"

#include "mts/MtsLog.h"
#include "mts/MtsPacket.h"
#include "mts/OutputFile.h"
#include "mts/TransportUnits.h"

#include <zuk/zuk.h>

#include <limits>

namespace zuk {

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
        // Only the wanted packets are decoded: any other would be skipped
        // for its PID anyway.
        const auto bytes = reader.packet();
        if (packetPid(bytes) != pid)
            continue;
        if (parsePacket(bytes, packet) == 0 && !packet.payload.empty() && !pes->write(packet.payload))
            return ZUK_E_WRITE;
    }
    mtsLogSkipped(reader.skippedBytes());
    // A walk that stopped short of the end would pass a cut stream off as whole.
    if (!reader.readToTheEnd())
        return ZUK_E_OPEN;
    return pes->close() ? units : ZUK_E_WRITE;
}

} // namespace zuk
