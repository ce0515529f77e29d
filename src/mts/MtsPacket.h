// One transport packet of 188 bytes, decoded: its header, its adaptation
// field and a view of its payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace zuk {

inline constexpr size_t kPacketSize = 188;
inline constexpr uint8_t kSyncByte = 0x47;

struct MtsAdaptationField {
    uint8_t adaptation_field_length = 0;
    bool discontinuity_indicator = false;
    bool random_access_indicator = false;
    bool elementary_stream_priority_indicator = false;
    bool PCR_flag = false;
    bool OPCR_flag = false;
    bool splicing_point_flag = false;
    bool transport_private_data_flag = false;
    bool adaptation_field_extension_flag = false;

    uint64_t program_clock_reference_base = 0;
    uint8_t program_clock_reference_reserved = 0;
    uint16_t program_clock_reference_extension = 0;

    uint64_t original_program_clock_reference_base = 0;
    uint8_t original_program_clock_reference_reserved = 0;
    uint16_t original_program_clock_reference_extension = 0;

    std::span<const uint8_t> private_data;

    uint8_t adaptation_field_extension_length = 0;
    bool ltw_flag = false;
    bool piecewise_rate_flag = false;
    bool seamless_splice_flag = false;
    uint8_t extension_reserved = 0;
    bool ltw_valid_flag = false;
    uint16_t ltw_offset = 0;
    uint32_t piecewise_rate = 0;
    uint8_t splice_type = 0;
    uint32_t DTS_next_AU = 0;
};

struct MtsPacket {
    bool transport_error_indicator = false;
    bool payload_unit_start_indicator = false;
    bool transport_priority = false;
    bool hasAdaptation = false;
    int32_t adaptationBytes = 0; // bytes between the 4-byte header and the payload
    std::optional<MtsAdaptationField> adaptation;
    bool hasPayload = false;
    std::span<const uint8_t> payload;
    uint8_t transport_scrambling_control = 0;
    uint8_t adaptation_field_control = 0;
    uint8_t continuity_counter = 0;
    uint16_t PID = 0;
};

// Decodes the packet at the start of `bytes` (its sync byte first). The
// payload and private data are views of `bytes`, valid as long as they are:
// for a packet of a UnitReader, until its next read. Returns 0, or -1 when
// there are fewer than 188 bytes, the sync byte is wrong (the record is then
// left as it was, its views still on the bytes of the packet decoded before)
// or the adaptation field leaves no room for the payload it announces (the
// record then has no payload).
int parsePacket(std::span<const uint8_t> bytes, MtsPacket& packet);

// The PID of the packet at the start of `bytes`, which hold at least its header.
uint16_t packetPid(std::span<const uint8_t> bytes);

// Decodes an adaptation field from its length byte on into a fresh record.
// Reads no further than the field's own length nor than `bytes`; parts that
// do not fit stay 0. The private data is a view of `bytes`.
void parseAdaptationField(std::span<const uint8_t> bytes, MtsAdaptationField& decoded);

} // namespace zuk
