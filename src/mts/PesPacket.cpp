#include "mts/PesPacket.h"

#include "mts/Bits.h"

#include <algorithm>

namespace zuk {

namespace {

constexpr size_t kStartSize = 6;        // prefix, stream_id, PES_packet_length
constexpr size_t kOptionalHeaderAt = 9; // after the two flag bytes and the header length
constexpr uint8_t kPaddingStream = 0xBE;

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

void keepPayload(std::span<const uint8_t> bytes, size_t from, size_t to, PesPacket& packet)
{
    const auto payload = bytes.subspan(from, to - from);
    packet.payload.assign(payload.begin(), payload.end());
    packet.payloadLength = static_cast<int32_t>(payload.size());
}

void decodeFlags(uint8_t first, uint8_t second, PesPacket& packet)
{
    packet.PES_scrambling_control = getByteBits(first, 4, 6);
    packet.PES_priority = getByteBits(first, 3, 4);
    packet.data_alignment_indicator = getByteBits(first, 2, 3);
    packet.copyright = getByteBits(first, 1, 2);
    packet.original_or_copy = getByteBits(first, 0, 1);
    packet.PTS_DTS_flags = getByteBits(second, 6, 8);
    packet.ESCR_flag = getByteBits(second, 5, 6);
    packet.ES_rate_flag = getByteBits(second, 4, 5);
    packet.DSM_trick_mode_flag = getByteBits(second, 3, 4);
    packet.additional_copy_info_flag = getByteBits(second, 2, 3);
    packet.PES_CRC_flag = getByteBits(second, 1, 2);
}

} // namespace

int32_t pesPacketLength(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kStartSize || getBits(bytes.first(3), 0, 24) != 1)
        return -2;
    return static_cast<int32_t>(getBits(bytes.subspan(4, 2), 0, 16));
}

int parsePesPacket(std::span<const uint8_t> bytes, PesPacket& packet)
{
    if (bytes.size() < kStartSize)
        return -4;
    packet.startCodePrefix = static_cast<uint32_t>(getBits(bytes.first(3), 0, 24));
    packet.stream_id = bytes[3];
    packet.PES_packet_length = static_cast<uint16_t>(getBits(bytes.subspan(4, 2), 0, 16));
    const size_t announcedEnd = kStartSize + packet.PES_packet_length;

    if (hasNoOptionalHeader(packet.stream_id)) {
        if (packet.stream_id != kPaddingStream)
            keepPayload(bytes, kStartSize, std::min(announcedEnd, bytes.size()), packet);
        return 0;
    }

    if (bytes.size() < kOptionalHeaderAt || getByteBits(bytes[6], 6, 8) != 0b10)
        return -4;
    decodeFlags(bytes[6], bytes[7], packet);
    packet.PES_header_data_length = bytes[8];
    const size_t payloadStart = kOptionalHeaderAt + packet.PES_header_data_length;
    const size_t end = packet.PES_packet_length == 0 ? bytes.size() : std::min(announcedEnd, bytes.size());
    if (payloadStart > end)
        return -4;
    keepPayload(bytes, payloadStart, end, packet);
    return 0;
}

} // namespace zuk
