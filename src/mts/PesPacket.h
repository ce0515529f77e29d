// The header of one PES packet, decoded, and a view of the elementary-stream
// bytes it carries. Time stamps and the optional header fields are not kept.
#pragma once

#include <cstdint>
#include <span>

namespace zuk {

struct PesPacket {
    uint32_t startCodePrefix = 0; // 1 for a valid packet
    uint8_t stream_id = 0;
    uint16_t PES_packet_length = 0;
    std::span<const uint8_t> payload; // a view of the bytes decoded
    uint8_t PES_scrambling_control = 0;
    bool PES_priority = false;
    bool data_alignment_indicator = false;
    bool copyright = false;
    bool original_or_copy = false;
    uint8_t PTS_DTS_flags = 0;
    bool ESCR_flag = false;
    bool ES_rate_flag = false;
    bool DSM_trick_mode_flag = false;
    bool additional_copy_info_flag = false;
    bool PES_CRC_flag = false;
    uint8_t PES_header_data_length = 0;
};

// -2 when `bytes` do not start with 00 00 01 and a length field, else the
// packet's PES_packet_length (0 to 65535; 0 for a video packet of open length).
int32_t pesPacketLength(std::span<const uint8_t> bytes);

// Decodes one PES packet from the bytes read of it, which may end before the
// length it announces (the payload is then what was read). A packet of length
// 0 runs to the end of `bytes`. The payload is a view of `bytes`, valid as
// long as they are. Returns 0, or -4 when the header's marker bits are wrong
// or the header does not fit in `bytes` or in the announced length (the
// payload is then left as it was).
int parsePesPacket(std::span<const uint8_t> bytes, PesPacket& packet);

} // namespace zuk
