#include "mts/MtsPacket.h"

#include "mts/ByteCursor.h"

namespace zuk {

namespace {

constexpr size_t kHeaderSize = 4;
constexpr int32_t kLargestAdaptation = 183; // leaves at least one payload byte

struct ClockReference {
    uint64_t base = 0;
    uint8_t reserved = 0;
    uint16_t extension = 0;
};

// Six bytes, or zeros when the field ends first.
ClockReference readClockReference(ByteCursor& field)
{
    ByteCursor six = field.take(6);
    ClockReference clock;
    clock.base = six.bits(33);
    clock.reserved = static_cast<uint8_t>(six.bits(6));
    clock.extension = static_cast<uint16_t>(six.bits(9));
    return clock;
}

// The 33-bit time stamp of a splice, spread over 5 bytes between marker
// bits after the splice type; kept in 32 bits.
void readSplice(ByteCursor& extension, MtsAdaptationField& field)
{
    ByteCursor five = extension.take(5);
    field.splice_type = static_cast<uint8_t>(five.bits(4));
    const uint64_t high = five.bits(3);
    five.bits(1);
    const uint64_t middle = five.bits(15);
    five.bits(1);
    const uint64_t low = five.bits(15);
    field.DTS_next_AU = static_cast<uint32_t>((high << 30) | (middle << 15) | low);
}

void parseExtension(ByteCursor& field, MtsAdaptationField& decoded)
{
    decoded.adaptation_field_extension_length = field.u8();
    ByteCursor extension = field.takeUpTo(decoded.adaptation_field_extension_length);
    decoded.ltw_flag = extension.bits(1);
    decoded.piecewise_rate_flag = extension.bits(1);
    decoded.seamless_splice_flag = extension.bits(1);
    decoded.extension_reserved = static_cast<uint8_t>(extension.bits(5));
    if (decoded.ltw_flag) {
        ByteCursor ltw = extension.take(2);
        decoded.ltw_valid_flag = ltw.bits(1);
        decoded.ltw_offset = static_cast<uint16_t>(ltw.bits(15));
    }
    if (decoded.piecewise_rate_flag) {
        ByteCursor rate = extension.take(3);
        rate.bits(2);
        decoded.piecewise_rate = static_cast<uint32_t>(rate.bits(22));
    }
    if (decoded.seamless_splice_flag)
        readSplice(extension, decoded);
}

} // namespace

void parseAdaptationField(std::span<const uint8_t> bytes, MtsAdaptationField& decoded)
{
    ByteCursor cursor(bytes);
    decoded.adaptation_field_length = cursor.u8();
    ByteCursor field = cursor.takeUpTo(decoded.adaptation_field_length);
    decoded.discontinuity_indicator = field.bits(1);
    decoded.random_access_indicator = field.bits(1);
    decoded.elementary_stream_priority_indicator = field.bits(1);
    decoded.PCR_flag = field.bits(1);
    decoded.OPCR_flag = field.bits(1);
    decoded.splicing_point_flag = field.bits(1);
    decoded.transport_private_data_flag = field.bits(1);
    decoded.adaptation_field_extension_flag = field.bits(1);

    if (decoded.PCR_flag) {
        const ClockReference pcr = readClockReference(field);
        decoded.program_clock_reference_base = pcr.base;
        decoded.program_clock_reference_reserved = pcr.reserved;
        decoded.program_clock_reference_extension = pcr.extension;
    }
    if (decoded.OPCR_flag) {
        const ClockReference opcr = readClockReference(field);
        decoded.original_program_clock_reference_base = opcr.base;
        decoded.original_program_clock_reference_reserved = opcr.reserved;
        decoded.original_program_clock_reference_extension = opcr.extension;
    }
    if (decoded.splicing_point_flag)
        field.skip(1); // the splice countdown is not kept
    if (decoded.transport_private_data_flag) {
        const uint8_t length = field.u8();
        decoded.private_data = field.upTo(length);
    }
    if (decoded.adaptation_field_extension_flag)
        parseExtension(field, decoded);
}

uint16_t packetPid(std::span<const uint8_t> bytes)
{
    if (bytes.size() < kHeaderSize)
        return 0;
    return static_cast<uint16_t>((bytes[1] & 0x1F) << 8 | bytes[2]);
}

int parsePacket(std::span<const uint8_t> bytes, MtsPacket& packet)
{
    if (bytes.size() < kPacketSize || bytes[0] != kSyncByte)
        return -1;
    // The header's fields are read straight from its bytes: every packet of a
    // stream passes here, and a bit-by-bit read costs more than the copy.
    const uint8_t flags = bytes[1];
    const uint8_t control = bytes[3];
    packet.transport_error_indicator = (flags & 0x80) != 0;
    packet.payload_unit_start_indicator = (flags & 0x40) != 0;
    packet.transport_priority = (flags & 0x20) != 0;
    packet.PID = packetPid(bytes);
    packet.transport_scrambling_control = static_cast<uint8_t>(control >> 6);
    packet.hasAdaptation = (control & 0x20) != 0;
    packet.hasPayload = (control & 0x10) != 0;
    packet.adaptation_field_control = static_cast<uint8_t>(control >> 4 & 0x3);
    packet.continuity_counter = static_cast<uint8_t>(control & 0x0F);
    // A reused record must not keep the last packet's payload.
    packet.payload = {};

    const auto afterHeader = bytes.subspan(kHeaderSize, kPacketSize - kHeaderSize);
    if (packet.hasAdaptation) {
        parseAdaptationField(afterHeader, packet.adaptation.emplace());
        packet.adaptationBytes = int32_t{packet.adaptation->adaptation_field_length} + 1;
    } else {
        packet.adaptationBytes = 0;
        packet.adaptation.reset();
    }
    if (!packet.hasPayload)
        return 0;
    if (packet.adaptationBytes > kLargestAdaptation)
        return -1;
    ByteCursor payload(afterHeader);
    payload.skip(static_cast<size_t>(packet.adaptationBytes));
    packet.payload = payload.rest();
    return 0;
}

} // namespace zuk
