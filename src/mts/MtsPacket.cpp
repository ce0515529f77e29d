#include "mts/MtsPacket.h"

#include "mts/Bits.h"

#include <algorithm>

namespace zuk {

namespace {

constexpr size_t kHeaderSize = 4;
constexpr int32_t kLargestAdaptation = 183; // leaves at least one payload byte

struct ClockReference {
    uint64_t base;
    uint8_t reserved;
    uint16_t extension;
};

ClockReference readClockReference(std::span<const uint8_t> six)
{
    return {getBits(six, 15, 48), static_cast<uint8_t>(getBits(six, 9, 15)),
            static_cast<uint16_t>(getBits(six, 0, 9))};
}

// The 33-bit time stamp of a splice, spread over 5 bytes between marker
// bits; kept in 32 bits.
uint32_t readSpliceTimeStamp(std::span<const uint8_t> five)
{
    const uint64_t high = getByteBits(five[0], 1, 4);
    const uint64_t middle = getBits(five.subspan(1, 2), 1, 16);
    const uint64_t low = getBits(five.subspan(3, 2), 1, 16);
    return static_cast<uint32_t>((high << 30) | (middle << 15) | low);
}

void parseExtension(std::span<const uint8_t> extension, MtsAdaptationField& field)
{
    field.adaptation_field_extension_length = extension[0];
    extension = extension.first(std::min<size_t>(extension.size(), size_t{1} + extension[0]));
    if (extension.size() < 2)
        return;
    const uint8_t flags = extension[1];
    field.ltw_flag = getByteBits(flags, 7, 8);
    field.piecewise_rate_flag = getByteBits(flags, 6, 7);
    field.seamless_splice_flag = getByteBits(flags, 5, 6);
    field.extension_reserved = getByteBits(flags, 0, 5);

    size_t pos = 2;
    const auto fits = [&](size_t count) { return pos + count <= extension.size(); };
    if (field.ltw_flag) {
        if (!fits(2))
            return;
        field.ltw_valid_flag = getByteBits(extension[pos], 7, 8);
        field.ltw_offset = static_cast<uint16_t>(getBits(extension.subspan(pos, 2), 0, 15));
        pos += 2;
    }
    if (field.piecewise_rate_flag) {
        if (!fits(3))
            return;
        field.piecewise_rate = static_cast<uint32_t>(getBits(extension.subspan(pos, 3), 0, 22));
        pos += 3;
    }
    if (field.seamless_splice_flag && fits(5)) {
        field.splice_type = getByteBits(extension[pos], 4, 8);
        field.DTS_next_AU = readSpliceTimeStamp(extension.subspan(pos, 5));
    }
}

} // namespace

void parseAdaptationField(std::span<const uint8_t> bytes, MtsAdaptationField& field)
{
    if (bytes.empty())
        return;
    field.adaptation_field_length = bytes[0];
    const auto own = bytes.first(std::min<size_t>(bytes.size(), size_t{1} + bytes[0]));
    if (own.size() < 2)
        return;
    const uint8_t flags = own[1];
    field.discontinuity_indicator = getByteBits(flags, 7, 8);
    field.random_access_indicator = getByteBits(flags, 6, 7);
    field.elementary_stream_priority_indicator = getByteBits(flags, 5, 6);
    field.PCR_flag = getByteBits(flags, 4, 5);
    field.OPCR_flag = getByteBits(flags, 3, 4);
    field.splicing_point_flag = getByteBits(flags, 2, 3);
    field.transport_private_data_flag = getByteBits(flags, 1, 2);
    field.adaptation_field_extension_flag = getByteBits(flags, 0, 1);

    size_t pos = 2;
    const auto fits = [&](size_t count) { return pos + count <= own.size(); };
    if (field.PCR_flag) {
        if (!fits(6))
            return;
        const ClockReference pcr = readClockReference(own.subspan(pos, 6));
        field.program_clock_reference_base = pcr.base;
        field.program_clock_reference_reserved = pcr.reserved;
        field.program_clock_reference_extension = pcr.extension;
        pos += 6;
    }
    if (field.OPCR_flag) {
        if (!fits(6))
            return;
        const ClockReference opcr = readClockReference(own.subspan(pos, 6));
        field.original_program_clock_reference_base = opcr.base;
        field.original_program_clock_reference_reserved = opcr.reserved;
        field.original_program_clock_reference_extension = opcr.extension;
        pos += 6;
    }
    if (field.splicing_point_flag)
        ++pos; // the splice countdown is not kept
    if (field.transport_private_data_flag) {
        if (!fits(1))
            return;
        const size_t length = std::min<size_t>(own[pos], own.size() - pos - 1);
        const auto data = own.subspan(pos + 1, length);
        field.private_data.assign(data.begin(), data.end());
        pos += 1 + length;
    }
    if (field.adaptation_field_extension_flag && fits(1))
        parseExtension(own.subspan(pos), field);
}

int parsePacket(std::span<const uint8_t> bytes, MtsPacket& packet)
{
    if (bytes.size() < kPacketSize || bytes[0] != kSyncByte)
        return -1;
    const auto bytesOfPacket = bytes.first(kPacketSize);
    const uint8_t flags = bytesOfPacket[1];
    packet.transport_error_indicator = getByteBits(flags, 7, 8);
    packet.payload_unit_start_indicator = getByteBits(flags, 6, 7);
    packet.transport_priority = getByteBits(flags, 5, 6);
    packet.PID = static_cast<uint16_t>(getBits(bytesOfPacket.subspan(1, 2), 0, 13));
    const uint8_t control = bytesOfPacket[3];
    packet.transport_scrambling_control = getByteBits(control, 6, 8);
    packet.adaptation_field_control = getByteBits(control, 4, 6);
    packet.continuity_counter = getByteBits(control, 0, 4);

    packet.hasPayload = getByteBits(packet.adaptation_field_control, 0, 1);
    packet.hasAdaptation = getByteBits(packet.adaptation_field_control, 1, 2);
    // A reused record must not keep the last packet's payload.
    packet.payloadLength = 0;
    packet.payload.clear();

    if (packet.hasAdaptation) {
        packet.adaptationBytes = int32_t{bytesOfPacket[kHeaderSize]} + 1;
        packet.adaptation = std::make_unique<MtsAdaptationField>();
        parseAdaptationField(bytesOfPacket.subspan(kHeaderSize), *packet.adaptation);
    } else {
        packet.adaptationBytes = 0;
        packet.adaptation.reset();
    }
    if (!packet.hasPayload)
        return 0;
    if (packet.adaptationBytes > kLargestAdaptation)
        return -1;
    const auto payload = bytesOfPacket.subspan(kHeaderSize + static_cast<size_t>(packet.adaptationBytes));
    packet.payload.assign(payload.begin(), payload.end());
    packet.payloadLength = static_cast<int32_t>(payload.size());
    return 0;
}

} // namespace zuk
