// PAT and PMT sections read from one packet's payload, and the copy of that
// payload out of a stream.
#include "mts/ProgramTables.h"
#include "TsBuilder.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zuk;
using namespace zuktest::mts;

namespace {

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
        {"a PAT", patPayload({{1, 0x100}}), false, 0, {}},
        {"nothing", {}, false, 0, {}},
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

TEST(CopyPidPayloadTest, TheFirstWholePacketOnThePidIsCopiedWhateverItsUnitStart)
{
    const Bytes broken = [] {
        Bytes bytes = payloadPacket(0x100, true, {1});
        bytes[0] = 0x00;
        return bytes;
    }();
    const struct {
        const char* what;
        Bytes stream;
        bool bdav;
        size_t length;
        uint8_t first;
    } cases[] = {
        {"after other PIDs and a broken packet",
            joined({payloadPacket(0x0, true, {1}), broken, payloadPacket(0x100, false, {9, 8, 7}),
                payloadPacket(0x100, true, {2})}),
            false, 184, 9},
        {"in BDAV units", bdavUnit(payloadPacket(0x100, true, {5, 6})), true, 184, 5},
        {"no bytes", {}, false, 0, 0},
        {"a packet cut short", resized(payloadPacket(0x100, true, {1}), 100), false, 0, 0},
        {"another PID", payloadPacket(0x101, true, {1}), false, 0, 0},
    };
    for (const auto& c : cases) {
        std::istringstream in(std::string(c.stream.begin(), c.stream.end()));
        TableBuffer buffer;
        ASSERT_EQ(copyPidPayload(0x100, in, buffer, c.bdav), 0) << c.what;
        EXPECT_EQ(buffer.length, c.length) << c.what;
        EXPECT_EQ(buffer.bytes[0], c.first) << c.what;
        EXPECT_EQ(buffer.bytes[184], 0) << c.what;
    }
}
