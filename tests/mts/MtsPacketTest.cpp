// Transport packets: header fields, adaptation fields of every length, and
// the framing of the units that carry them.
#include "mts/MtsPacket.h"
#include "TsBuilder.h"
#include "mts/TransportUnits.h"

#include <gtest/gtest.h>

#include <optional>

using namespace zuk;
using namespace zuktest::mts;

namespace {

Bytes withByte(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

Bytes bytesOf(std::span<const uint8_t> view)
{
    return Bytes(view.begin(), view.end());
}

} // namespace

TEST(MtsPacketTest, TheHeaderTheAdaptationFieldAndThePayloadEachHaveTheirBytes)
{
    const Bytes field = withByte(Bytes(151, 0), 0, 150);
    const struct {
        const char* what;
        Bytes bytes;
        int result;
        uint16_t pid;
        bool start;
        uint8_t counter;
        int32_t adaptationBytes;
        size_t payloadSize; // the payload is the packet's last bytes
    } cases[] = {
        {"payload only", joined({{0x47, 0x41, 0x00, 0x1A}, counting(184, 1)}), 0, 0x100, true, 0xA, 0, 184},
        {"other flags set", withByte(payloadPacket(0x1FFF, false, {}), 1, 0xBF), 0, 0x1FFF, false, 0, 0, 184},
        {"adaptation and payload", packet(0x44, true, 0x3F, joined({field, counting(33)})), 0, 0x44, true, 0xF, 151,
            33},
        {"adaptation leaving one byte", packet(0x44, false, 0xF0, {182}), 0, 0x44, false, 0, 183, 1},
        {"adaptation only, of any length", packet(0x44, false, 0x20, {255, 0xFF}), 0, 0x44, false, 0, 256, 0},
        {"adaptation filling the packet", packet(0x44, false, 0x30, {183}), -1, 0x44, false, 0, 184, 0},
        {"adaptation claiming more", packet(0x44, false, 0x30, {255}), -1, 0x44, false, 0, 256, 0},
    };
    for (const auto& c : cases) {
        MtsPacket record;
        ASSERT_EQ(parsePacket(c.bytes, record), c.result) << c.what;
        EXPECT_EQ(record.PID, c.pid) << c.what;
        EXPECT_EQ(packetPid(c.bytes), c.pid) << c.what;
        EXPECT_EQ(record.payload_unit_start_indicator, c.start) << c.what;
        EXPECT_EQ(record.continuity_counter, c.counter) << c.what;
        EXPECT_EQ(record.adaptationBytes, c.adaptationBytes) << c.what;
        EXPECT_EQ(record.adaptation.has_value(), c.adaptationBytes > 0) << c.what;
        ASSERT_EQ(record.payload.size(), c.payloadSize) << c.what;
        if (c.payloadSize > 0) {
            EXPECT_EQ(record.payload.data(), c.bytes.data() + 188 - c.payloadSize) << c.what << ": a view, in place";
        }
    }
}

TEST(MtsPacketTest, AReusedRecordKeepsNothingOfTheLastPacketButAFailedReadLeavesItAlone)
{
    MtsPacket record;
    ASSERT_EQ(parsePacket(packet(0x44, false, 0x30, {10}), record), 0);
    ASSERT_EQ(parsePacket(packet(0x45, false, 0x20, {10}), record), 0);
    EXPECT_TRUE(record.payload.empty());
    ASSERT_EQ(parsePacket(payloadPacket(0x46, false, {}), record), 0);
    EXPECT_FALSE(record.adaptation);
    EXPECT_EQ(record.adaptationBytes, 0);
    EXPECT_EQ(parsePacket(withByte(payloadPacket(0x200, false, {}), 0, 0x48), record), -1);
    EXPECT_EQ(parsePacket(Bytes(187, 0x47), record), -1);
    EXPECT_EQ(record.PID, 0x46);
    EXPECT_EQ(record.payload.size(), 184u);
}

TEST(MtsAdaptationFieldTest, ClockReferencesPrivateDataAndExtensionAreDecoded)
{
    // PCR base 0x1'2345'6789 (33 bits), reserved 0x3F, extension 0x155.
    const Bytes pcr{0x91, 0xA2, 0xB3, 0xC4, 0xFF, 0x55};
    const Bytes opcr{0x00, 0x00, 0x00, 0x00, 0x80, 0x01};
    Bytes field = joined({{0, 0xDF},      // length, every flag but the priority
        pcr, opcr, {0x05},                // splice countdown
        {3, 0xAA, 0xBB, 0xCC},            // private data
        {11, 0xFF},                       // extension: length, all three flags
        {0xFF, 0xFE},                     // ltw valid, offset 0x7FFE
        {0xC1, 0x23, 0x45},               // piecewise rate 0x12345
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
    EXPECT_EQ(bytesOf(decoded.private_data), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(decoded.adaptation_field_extension_length, 11);
    EXPECT_TRUE(decoded.ltw_valid_flag);
    EXPECT_EQ(decoded.ltw_offset, 0x7FFE);
    EXPECT_EQ(decoded.piecewise_rate, 0x12345u);
    EXPECT_EQ(decoded.splice_type, 2);
    EXPECT_EQ(decoded.DTS_next_AU, (1u << 30) | (1u << 15) | 2u);
}

TEST(MtsAdaptationFieldTest, PartsThatDoNotFitTheFieldAreNotRead)
{
    const struct {
        const char* what;
        Bytes field;
        uint64_t pcrBase;
        Bytes privateData;
        uint16_t ltwOffset;
        uint8_t spliceType;
    } cases[] = {
        {"a PCR beyond the field's length", {1, 0x10, 0x91, 0xA2, 0xB3, 0xC4, 0xFF, 0x55}, 0, {}, 0, 0},
        {"a PCR cut by the end", {7, 0x10, 0x91, 0xA2, 0xB3, 0xC4, 0xFF}, 0, {}, 0, 0},
        {"private data longer than the field", {5, 0x02, 200, 1, 2, 3, 4, 5, 6}, 0, {1, 2, 3}, 0, 0},
        {"an extension longer than the bytes", {255, 0x01, 200, 0xE0, 0x80}, 0, {}, 0, 0},
        {"a splice cut by the extension", {9, 0x01, 5, 0x20, 0x21, 0, 3, 0, 5}, 0, {}, 0, 0},
        {"a splice countdown before private data", {3, 0x06, 5, 9}, 0, {}, 0, 0},
    };
    for (const auto& c : cases) {
        MtsAdaptationField decoded;
        parseAdaptationField(c.field, decoded);
        EXPECT_EQ(decoded.program_clock_reference_base, c.pcrBase) << c.what;
        EXPECT_EQ(bytesOf(decoded.private_data), c.privateData) << c.what;
        EXPECT_EQ(decoded.ltw_offset, c.ltwOffset) << c.what;
        EXPECT_EQ(decoded.splice_type, c.spliceType) << c.what;
    }
}

TEST(TransportFramingTest, SyncBytesOverSeveralUnitsTellTheFramingElseNothingDoes)
{
    const Bytes packet = payloadPacket(0x44, true, counting(184));
    const auto units = [](const Bytes& unit, size_t count) { return joined(std::vector<Bytes>(count, unit)); };
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
        {"a sync byte missing", withByte(units(packet, 5), 4 * 188, 0x46), std::nullopt},
        {"both framings", Bytes(5 * 192, 0x47), std::nullopt},
        {"neither framing", Bytes(5 * 192, 0x00), std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(bdavFramingOf(c.start), c.bdav) << c.what;
}
