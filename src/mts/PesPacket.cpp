#include "mts/PesPacket.h"

#include "mts/ByteCursor.h"

namespace zuk {

namespace {

constexpr size_t kOptionalHeaderStart = 3; // the two flag bytes and the header length
constexpr uint8_t kPaddingStream = 0xBE;
constexpr uint64_t kOptionalHeaderMarker = 0b10;

bool hasNoOptionalHeader(uint8_t streamId)
{
    switch (streamId) {
    case 0xBC: // program_stream_map
    case 0xBE: // padding_stream
    case 0xBF: // private_stream_2
    case 0xF0: // ECM
    case 0xF1: // EMM
    case 0xF2: // DSMCC_stream
    case 0xF8: // ITU-T H.222.1 type E
    case 0xFF: // program_stream_directory
        return true;
    default:
        return false;
    }
}

// The flags after the marker bits, and the header length.
void decodeFlags(ByteCursor& header, PesPacket& packet)
{
    packet.PES_scrambling_control = static_cast<uint8_t>(header.bits(2));
    packet.PES_priority = header.bits(1);
    packet.data_alignment_indicator = header.bits(1);
    packet.copyright = header.bits(1);
    packet.original_or_copy = header.bits(1);
    packet.PTS_DTS_flags = static_cast<uint8_t>(header.bits(2));
    packet.ESCR_flag = header.bits(1);
    packet.ES_rate_flag = header.bits(1);
    packet.DSM_trick_mode_flag = header.bits(1);
    packet.additional_copy_info_flag = header.bits(1);
    packet.PES_CRC_flag = header.bits(1);
    header.bits(1); // PES_extension_flag
    packet.PES_header_data_length = header.u8();
}

} // namespace

int32_t pesPacketLength(std::span<const uint8_t> bytes)
{
    ByteCursor start(bytes);
    const uint64_t prefix = start.bits(24);
    start.skip(1);
    const uint16_t length = start.u16();
    if (!start || prefix != 1)
        return -2;
    return length;
}

int parsePesPacket(std::span<const uint8_t> bytes, PesPacket& packet)
{
    ByteCursor cursor(bytes);
    const auto prefix = static_cast<uint32_t>(cursor.bits(24));
    const uint8_t streamId = cursor.u8();
    const uint16_t length = cursor.u16();
    if (!cursor)
        return -4;
    packet.startCodePrefix = prefix;
    packet.stream_id = streamId;
    packet.PES_packet_length = length;

    if (hasNoOptionalHeader(streamId)) {
        if (streamId != kPaddingStream)
            packet.payload = cursor.upTo(length);
        return 0;
    }

    // The flag bytes are read wherever the announced length ends.
    ByteCursor flags = ByteCursor(cursor).take(kOptionalHeaderStart);
    if (flags.bits(2) != kOptionalHeaderMarker)
        return -4;
    decodeFlags(flags, packet);
    ByteCursor body = length == 0 ? cursor : cursor.takeUpTo(length);
    if (!body.skip(kOptionalHeaderStart + packet.PES_header_data_length))
        return -4;
    packet.payload = body.rest();
    return 0;
}

} // namespace zuk
