// Transport packets: header fields, adaptation fields of every length, the
// bit reader under them, and the framing of the units that carry them.
#include "TsBuilder.h"
#include "mts/Bits.h"
#include "mts/MtsPacket.h"
#include "mts/TransportUnits.h"

#include <gtest/gtest.h>

#include <optional>

using namespace zuk;
using namespace zuktest::mts;

TEST(MtsBitsTest, FieldsAreReadBigEndianFromTheLowBitUp)
{
    const Bytes pidBytes{0x5F, 0xFF};
    EXPECT_EQ(getBits(pidBytes, 0, 13), 0x1FFFu);
    const Bytes lengthBytes{0xB0, 0x0D};
    EXPECT_EQ(getBits(lengthBytes, 0, 12), 13u);
    EXPECT_EQ(getBits(lengthBytes, 15, 16), 1u);
    const Bytes eight{0xFF, 0, 0, 0, 0, 0, 0, 0x01};
    EXPECT_EQ(getBits(eight, 0, 64), 0xFF00000000000001u);
    EXPECT_EQ(getBits(eight, 56, 64), 0xFFu);
    EXPECT_EQ(getByteBits(0xB5, 4, 6), 0b11);
    EXPECT_EQ(getByteBits(0xB5, 0, 1), 1);
}

TEST(MtsPacketTest, APayloadOnlyPacketGivesItsHeaderAndAllItsBytes)
{
    const Bytes body = counting(184, 1);
    const Bytes bytes = joined({{0x47, 0x41, 0x00, 0x1A}, body});
    MtsPacket record;
    ASSERT_EQ(parsePacket(bytes, record), 0);
    EXPECT_EQ(record.PID, 0x100);
    EXPECT_TRUE(record.payload_unit_start_indicator);
    EXPECT_FALSE(record.transport_error_indicator);
    EXPECT_FALSE(record.hasAdaptation);
    EXPECT_EQ(record.adaptation, nullptr);
    EXPECT_EQ(record.adaptationBytes, 0);
    EXPECT_EQ(record.continuity_counter, 0xA);
    EXPECT_EQ(record.adaptation_field_control, 1);
    EXPECT_EQ(record.payloadLength, 184);
    EXPECT_EQ(record.payload, body);
}

TEST(MtsPacketTest, TheFlagsOfByteOneAndThreeAreEachTheirOwn)
{
    MtsPacket record;
    ASSERT_EQ(parsePacket(packet(0x1FFF, false, 0xD0, {}), record), 0);
    EXPECT_EQ(record.PID, 0x1FFF);
    EXPECT_EQ(record.transport_scrambling_control, 3);
    Bytes bytes = packet(0x31, false, 0x10, {});
    bytes[1] |= 0xA0; // error and priority, not unit start
    ASSERT_EQ(parsePacket(bytes, record), 0);
    EXPECT_TRUE(record.transport_error_indicator);
    EXPECT_TRUE(record.transport_priority);
    EXPECT_FALSE(record.payload_unit_start_indicator);
    EXPECT_EQ(record.PID, 0x31);
}

TEST(MtsPacketTest, ThePayloadFollowsTheAdaptationField)
{
    Bytes field(151, 0);
    field[0] = 150;
    const Bytes body = joined({field, counting(33, 100)});
    MtsPacket record;
    ASSERT_EQ(parsePacket(packet(0x44, true, 0x30, body), record), 0);
    EXPECT_TRUE(record.hasAdaptation);
    EXPECT_EQ(record.adaptationBytes, 151);
    ASSERT_NE(record.adaptation, nullptr);
    EXPECT_EQ(record.adaptation->adaptation_field_length, 150);
    EXPECT_EQ(record.payloadLength, 33);
    EXPECT_EQ(record.payload, counting(33, 100));
}

TEST(MtsPacketTest, AdaptationFieldsThatLeaveNoPayloadGiveNone)
{
    MtsPacket record;
    // Adaptation only: fine, whatever its length claims.
    for (const uint8_t length : {uint8_t{0}, uint8_t{183}, uint8_t{255}}) {
        ASSERT_EQ(parsePacket(packet(0x44, false, 0x20, {length, 0xFF}), record), 0) << int{length};
        EXPECT_EQ(record.payloadLength, 0);
        EXPECT_TRUE(record.payload.empty());
    }
    // Payload flagged, but the field fills the packet or claims more than it.
    ASSERT_EQ(parsePacket(packet(0x44, false, 0x30, {182}), record), 0);
    EXPECT_EQ(record.payloadLength, 1);
    for (const uint8_t length : {uint8_t{183}, uint8_t{255}}) {
        EXPECT_EQ(parsePacket(packet(0x44, false, 0x30, {length}), record), -1) << int{length};
        EXPECT_EQ(record.payloadLength, 0);
        EXPECT_TRUE(record.payload.empty());
    }
}

TEST(MtsPacketTest, AWrongSyncByteOrAShortPacketLeavesTheRecordAlone)
{
    MtsPacket record;
    ASSERT_EQ(parsePacket(payloadPacket(0x100, true, {1, 2, 3}), record), 0);
    Bytes wrong = payloadPacket(0x200, false, {});
    wrong[0] = 0x48;
    EXPECT_EQ(parsePacket(wrong, record), -1);
    Bytes shortPacket = payloadPacket(0x200, false, {});
    shortPacket.pop_back();
    EXPECT_EQ(parsePacket(shortPacket, record), -1);
    EXPECT_EQ(record.PID, 0x100);
    EXPECT_EQ(record.payloadLength, 184);
}

TEST(MtsPacketTest, AReusedRecordKeepsNothingOfTheLastPacket)
{
    MtsPacket record;
    ASSERT_EQ(parsePacket(packet(0x44, false, 0x30, {10}), record), 0);
    ASSERT_EQ(parsePacket(packet(0x45, false, 0x20, {10}), record), 0);
    EXPECT_EQ(record.payloadLength, 0);
    EXPECT_TRUE(record.payload.empty());
    ASSERT_EQ(parsePacket(payloadPacket(0x46, false, {}), record), 0);
    EXPECT_EQ(record.adaptation, nullptr);
    EXPECT_EQ(record.adaptationBytes, 0);
}

TEST(MtsAdaptationFieldTest, ClockReferencesPrivateDataAndExtensionAreDecoded)
{
    // PCR base 0x1'2345'6789 (33 bits), reserved 0x3F, extension 0x155.
    const Bytes pcr{0x91, 0xA2, 0xB3, 0xC4, 0xFF, 0x55};
    const Bytes opcr{0x00, 0x00, 0x00, 0x00, 0x80, 0x01};
    Bytes field = joined({{0, 0xDF}, // length, every flag
                          pcr,
                          opcr,
                          {0x05},                         // splice countdown
                          {3, 0xAA, 0xBB, 0xCC},          // private data
                          {11, 0xFF},                     // extension: length, all three flags
                          {0xFF, 0xFE},                   // ltw valid, offset 0x7FFE
                          {0xC1, 0x23, 0x45},             // piecewise rate 0x12345
                          {0x23, 0x00, 0x03, 0x00, 0x05}}); // type 2, DTS 1 << 30 | 1 << 15 | 2
    field[0] = static_cast<uint8_t>(field.size() - 1);

    MtsAdaptationField decoded;
    parseAdaptationField(field, decoded);
    EXPECT_TRUE(decoded.discontinuity_indicator);
    EXPECT_TRUE(decoded.random_access_indicator);
    EXPECT_FALSE(decoded.elementary_stream_priority_indicator);
    EXPECT_EQ(decoded.program_clock_reference_base, 0x123456789u);
    EXPECT_EQ(decoded.program_clock_reference_reserved, 0x3F);
    EXPECT_EQ(decoded.program_clock_reference_extension, 0x155);
    EXPECT_EQ(decoded.original_program_clock_reference_base, 1u);
    EXPECT_EQ(decoded.original_program_clock_reference_extension, 1);
    EXPECT_EQ(decoded.private_data, (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(decoded.adaptation_field_extension_length, 11);
    EXPECT_TRUE(decoded.ltw_valid_flag);
    EXPECT_EQ(decoded.ltw_offset, 0x7FFE);
    EXPECT_EQ(decoded.piecewise_rate, 0x12345u);
    EXPECT_EQ(decoded.splice_type, 2);
    EXPECT_EQ(decoded.DTS_next_AU, (1u << 30) | (1u << 15) | 2u);
}

TEST(MtsAdaptationFieldTest, PartsThatDoNotFitTheFieldAreNotRead)
{
    // The flags announce a PCR, but the field's length ends after the flags;
    // the bytes beyond it belong to the payload.
    const Bytes tooShort{1, 0x10, 0x91, 0xA2, 0xB3, 0xC4, 0xFF, 0x55};
    MtsAdaptationField decoded;
    parseAdaptationField(tooShort, decoded);
    EXPECT_TRUE(decoded.PCR_flag);
    EXPECT_EQ(decoded.program_clock_reference_base, 0u);

    // Private data longer than the field: only what the field holds.
    const Bytes privateData{5, 0x02, 200, 1, 2, 3, 4, 5, 6};
    MtsAdaptationField withData;
    parseAdaptationField(privateData, withData);
    EXPECT_EQ(withData.private_data, (Bytes{1, 2, 3}));

    // A length beyond the bytes given stops at the bytes given.
    const Bytes cut{255, 0x01, 200, 0xE0};
    MtsAdaptationField extension;
    parseAdaptationField(cut, extension);
    EXPECT_EQ(extension.adaptation_field_extension_length, 200);
    EXPECT_TRUE(extension.ltw_flag);
    EXPECT_EQ(extension.ltw_offset, 0);
}

TEST(TransportFramingTest, SyncBytesOverSeveralUnitsTellTheFramingElseNothingDoes)
{
    const Bytes packet = payloadPacket(0x44, true, counting(184));
    const auto units = [](const Bytes& unit, size_t count) { return joined(std::vector<Bytes>(count, unit)); };
    Bytes brokenLast = units(packet, 5);
    brokenLast[4 * 188] = 0x46;
    const struct {
        const char* what;
        Bytes start;
        std::optional<bool> bdav;
    } cases[] = {
        {"packets", units(packet, 5), false},
        {"BDAV units", units(bdavUnit(packet), 5), true},
        {"packets after junk", joined({Bytes(1000, 0x00), units(packet, 5)}), false},
        {"BDAV units after junk", joined({Bytes{0x47}, units(bdavUnit(packet), 5)}), true},
        {"too few units", units(packet, 4), std::nullopt},
        {"a sync byte missing", brokenLast, std::nullopt},
        {"both framings", Bytes(5 * 192, 0x47), std::nullopt},
        {"neither framing", Bytes(5 * 192, 0x00), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bdavFramingOf(c.start), c.bdav) << c.what;
}
