// Feeds arbitrary bytes to the transport packet and PES decoders: as one
// packet, as the PES packet its payload starts, and as a PES packet of their
// own; and to the framing test, as the start of a stream. Results are
// ignored; nothing may read outside the bytes given.
#include "mts/MtsPacket.h"
#include "mts/PesPacket.h"
#include "mts/TransportUnits.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> bytes(data, size);

    zuk::MtsPacket packet;
    if (zuk::parsePacket(bytes, packet) == 0 && !packet.payload.empty()) {
        zuk::PesPacket fromPayload;
        if (zuk::pesPacketLength(packet.payload) >= 0)
            zuk::parsePesPacket(packet.payload, fromPayload);
    }
    // A reused record must stay consistent too.
    if (size > zuk::kPacketSize)
        zuk::parsePacket(bytes.subspan(size - zuk::kPacketSize), packet);

    zuk::PesPacket pes;
    zuk::pesPacketLength(bytes);
    zuk::parsePesPacket(bytes, pes);
    zuk::bdavFramingOf(bytes);
    return 0;
}
