// The transport-stream parsers: transport packets, PES packets, and PAT and
// PMT sections. Each keeps the fields it decodes from well-formed bytes and
// one row per rule for bytes that do not fit, which also show the bounded
// cursor under them at work; that malformed bytes are never read past is the
// fuzz targets' to show.
#include "TsBuilder.h"
#include "mts/MtsPacket.h"
#include "mts/PesPacket.h"
#include "mts/ProgramTables.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace zuk;
using namespace zuktest::mts;

namespace {

Bytes withByte(Bytes bytes, size_t at, uint8_t value)
{
    bytes[at] = value;
    return bytes;
}

// An MPEG audio packet with a PTS and three bytes of data, with byte `at` set
// to `value`.
Bytes audioPes(size_t at = 0, uint8_t value = 0)
{
    Bytes bytes{0x00, 0x00, 0x01, 0xC0, 0x00, 0x0B, 0x80, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01, 0xAA, 0xBB, 0xCC};
    if (at > 0)
        bytes[at] = value;
    return bytes;
}

// A packet of a stream without the optional header; `length` -1 means the
// real one.
Bytes headerless(uint8_t streamId, const Bytes& data, int length = -1)
{
    const auto announced = static_cast<uint8_t>(length < 0 ? static_cast<int>(data.size()) : length);
    return joined({{0x00, 0x00, 0x01, streamId, 0x00, announced}, data});
}

Bytes resized(Bytes bytes, size_t size)
{
    bytes.resize(size);
    return bytes;
}

// A program map whose program descriptors are said to take `length` bytes.
Bytes withProgramInfoLength(Bytes pmt, uint16_t length)
{
    pmt[11] = static_cast<uint8_t>(0xF0 | length >> 8);
    pmt[12] = static_cast<uint8_t>(length);
    return pmt;
}

} // namespace

// One record for every row: a reused record keeps nothing of the last packet,
// but a failed read leaves it alone.
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
        {"payload only again", payloadPacket(0x46, false, {}), 0, 0x46, false, 0, 0, 184},
    };
    MtsPacket record;
    for (const auto& c : cases) {
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
    EXPECT_EQ(parsePacket(withByte(payloadPacket(0x200, false, {}), 0, 0x48), record), -1);
    EXPECT_EQ(parsePacket(Bytes(187, 0x47), record), -1);
    EXPECT_EQ(record.PID, 0x46);
}

TEST(MtsAdaptationFieldTest, ClockReferencesPrivateDataAndExtensionAreDecoded)
{
    // PCR base 0x1'2345'6789 (33 bits), reserved 0x3F, extension 0x155.
    Bytes field = joined({{0, 0xDF}, // length, every flag but the priority
        {0x91, 0xA2, 0xB3, 0xC4, 0xFF, 0x55}, {0x00, 0x00, 0x00, 0x00, 0x80, 0x01}, // PCR, OPCR
        {0x05},                                                                     // splice countdown
        {3, 0xAA, 0xBB, 0xCC},                                                      // private data
        {11, 0xFF, 0xFF, 0xFE},           // extension: length, all three flags, ltw valid, offset 0x7FFE
        {0xC1, 0x23, 0x45},               // piecewise rate 0x12345
        {0x23, 0x00, 0x03, 0x00, 0x05}}); // type 2, DTS 1 << 30 | 1 << 15 | 2
    field[0] = static_cast<uint8_t>(field.size() - 1);
    MtsAdaptationField f;
    parseAdaptationField(field, f);
    EXPECT_EQ(std::tuple(f.discontinuity_indicator, f.random_access_indicator, f.elementary_stream_priority_indicator),
        std::tuple(true, true, false));
    EXPECT_EQ(std::tuple(f.program_clock_reference_base, f.program_clock_reference_reserved,
                  f.program_clock_reference_extension, f.original_program_clock_reference_base,
                  f.original_program_clock_reference_extension),
        std::tuple(0x123456789u, 0x3F, 0x155, 1u, 1));
    EXPECT_EQ(Bytes(f.private_data.begin(), f.private_data.end()), (Bytes{0xAA, 0xBB, 0xCC}));
    EXPECT_EQ(std::tuple(f.adaptation_field_extension_length, f.ltw_valid_flag, f.ltw_offset, f.piecewise_rate,
                  f.splice_type, f.DTS_next_AU),
        std::tuple(11, true, 0x7FFE, 0x12345u, 2, (1u << 30) | (1u << 15) | 2u));
}

TEST(PesPacketTest, ThePayloadLiesBetweenTheHeaderAndTheLengthOrTheBytesRead)
{
    const Bytes abc{0xAA, 0xBB, 0xCC};
    const Bytes data = counting(1000, 7);
    const struct {
        const char* what;
        Bytes bytes;
        int result;
        Bytes payload;
    } cases[] = {
        {"audio", audioPes(), 0, abc},
        {"bytes beyond the length", joined({audioPes(), {0xDD, 0xEE}}), 0, abc},
        {"cut short by the end", audioPes(5, 200), 0, abc},
        {"video of open length", joined({{0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0}, data}), 0, data},
        {"padding", headerless(0xBE, {0xFF, 0xFF}), 0, {}},
        {"no optional header, cut short", headerless(0xBF, {1, 2, 3}, 100), 0, {1, 2, 3}},
        {"no optional header, length 0", headerless(0xBF, {1, 2, 3}, 0), 0, {}},
        {"marker bits not 10", audioPes(6, 0x40), -4, {}},
        {"a header longer than the packet", audioPes(8, 9), -4, {}},
        {"a header longer than the bytes", {0, 0, 1, 0xC0, 0x10, 0x0B, 0x80, 0x80, 9, 0x21, 0, 1, 0, 1}, -4, {}},
        {"fewer bytes than a start", {0, 0, 1, 0xC0, 0}, -4, {}},
        {"fewer bytes than the flags", {0, 0, 1, 0xC0, 0, 3, 0x80, 0x80}, -4, {}},
    };
    for (const auto& c : cases) {
        PesPacket pes;
        EXPECT_EQ(parsePesPacket(c.bytes, pes), c.result) << c.what;
        EXPECT_EQ(Bytes(pes.payload.begin(), pes.payload.end()), c.payload) << c.what;
    }
}

TEST(PatTest, EntriesAreReadBetweenTheHeaderAndTheCrcAndNoFurtherThanThePayload)
{
    const struct {
        const char* what;
        Bytes payload;
        uint16_t sectionLength;
        int32_t count;
        std::vector<uint16_t> programs, pids;
    } cases[] = {
        {"one program", patPayload({{1, 0x100}}), 13, 1, {1}, {0x100}},
        {"network and program", patPayload({{0, 0x10}, {0x1234, 0x1FFF}}), 17, 2, {0, 0x1234}, {0x10, 0x1FFF}},
        {"the CRC read as an entry", patPayload({{1, 0x100}}, 4095), 4095, 2, {1, 0xDEAD}, {0x100, 0x1EEF}},
        {"no whole entry in the payload", resized(patPayload({{1, 0x100}}, 4095), 12), 4095, 0, {}, {}},
        {"a length under 9: the section's own count", patPayload({}, 5), 5, -1, {}, {}},
    };
    for (const auto& c : cases) {
        PatTable pat;
        parsePat(c.payload, pat);
        EXPECT_EQ(pat.section_length, c.sectionLength) << c.what;
        EXPECT_EQ(pat.programCount, c.count) << c.what;
        EXPECT_EQ(pat.programNumbers, c.programs) << c.what;
        EXPECT_EQ(pat.pmtPids, c.pids) << c.what;
    }
}

TEST(PmtTest, StreamsAreReadInOrderPastTheirDescriptorsWhileTheSectionAndThePayloadHoldThem)
{
    const Bytes twoStreams = pmtPayload({{0x1B, 0x1011, {0x28, 2, 1, 2}}, {0x81, 0x1100, {}}}, {0x88, 1, 0});
    const Bytes notAMap = [] {
        Bytes bytes = pmtPayload({{0x03, 0x44, {}}});
        bytes[1] = 0;
        return bytes;
    }();
    const struct {
        const char* what;
        Bytes payload;
        bool parsed;
        uint16_t programInfoLength;
        std::vector<uint16_t> pids;
    } cases[] = {
        {"two streams", twoStreams, true, 3, {0x1011, 0x1100}},
        {"program descriptors past 255 bytes", pmtPayload({{0x04, 0x44, {}}}, Bytes(300, 0xAB)), true, 300, {0x44}},
        {"a section longer than the payload", pmtPayload({{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}}, {}, 4095), true, 0,
            {0x1011, 0x1100}},
        {"program descriptors past the payload", withProgramInfoLength(pmtPayload({{4, 0x44, {}}}, {}, 4095), 4000),
            true, 4000, {}},
        {"program descriptors past the section", withProgramInfoLength(pmtPayload({{4, 0x44, {}}}, {}, 4095), 4095),
            false, 4095, {}},
        {"no stream", pmtPayload({}), false, 0, {}},
        {"not a program map", notAMap, false, 0, {}},
    };
    for (const auto& c : cases) {
        PmtTable pmt;
        EXPECT_EQ(parsePmt(c.payload, pmt), c.parsed) << c.what;
        EXPECT_EQ(pmt.program_info_length, c.programInfoLength) << c.what;
        std::vector<uint16_t> pids;
        for (const PmtStream& stream : pmt.streams)
            pids.push_back(stream.elementary_PID);
        EXPECT_EQ(pids, c.pids) << c.what;
        EXPECT_EQ(pmt.streamCount, static_cast<int32_t>(pids.size())) << c.what;
    }

    PmtTable pmt;
    ASSERT_TRUE(parsePmt(twoStreams, pmt));
    EXPECT_EQ(pmt.streams[0].stream_type, 0x1B);
    EXPECT_EQ(pmt.streams[1].stream_type, 0x81);
    EXPECT_FALSE(parsePmt(pmtPayload({{0x03, 0x44, {}}}), pmt)) << "a table holding streams is not filled again";
}
