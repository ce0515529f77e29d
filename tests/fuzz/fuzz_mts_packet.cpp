// Feeds arbitrary bytes to the transport packet and PES decoders: as one
// packet, as the PES packet its payload starts, and as a PES packet of their
// own; to the framing test, as the start of a stream; and to the unit reader,
// as a stream of either framing, which it walks finding its units again
// where sync bytes are missing. Results are ignored; nothing may read outside
// the bytes given, and every packet handed out starts with its sync byte.
#include "mts/MtsPacket.h"
#include "mts/PesPacket.h"
#include "mts/TransportUnits.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <sstream>
#include <string>

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

    for (const bool bdav : {false, true}) {
        std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
        zuk::UnitReader units(in, bdav);
        while (units.next()) {
            if (units.packet().size() != zuk::kPacketSize || units.packet()[0] != zuk::kSyncByte)
                __builtin_trap();
            zuk::parsePacket(units.packet(), packet);
        }
    }
    return 0;
}
