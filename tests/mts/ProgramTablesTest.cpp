// PAT and PMT sections read from one packet's payload, and the copy of that
// payload out of a stream.
#include "TsBuilder.h"
#include "mts/ProgramTables.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace zuk;
using namespace zuktest::mts;

namespace {

std::istringstream streamOf(const Bytes& bytes)
{
    return std::istringstream(std::string(bytes.begin(), bytes.end()));
}

} // namespace

TEST(PatTest, EntriesAreReadBetweenTheHeaderAndTheCrc)
{
    PatTable one;
    parsePat(patPayload({{1, 0x100}}), one);
    EXPECT_EQ(one.section_length, 13);
    EXPECT_EQ(one.section_syntax_indicator, 1);
    EXPECT_EQ(one.current_next_indicator, 1);
    EXPECT_EQ(one.transport_stream_id, 1);
    ASSERT_EQ(one.programCount, 1);
    EXPECT_EQ(one.pmtPids[0], 0x100);

    PatTable two;
    parsePat(patPayload({{0, 0x10}, {0x1234, 0x1FFF}}), two);
    EXPECT_EQ(two.section_length, 17);
    ASSERT_EQ(two.programCount, 2);
    EXPECT_EQ(two.programNumbers[0], 0);
    EXPECT_EQ(two.pmtPids[0], 0x10);
    EXPECT_EQ(two.programNumbers[1], 0x1234);
    EXPECT_EQ(two.pmtPids[1], 0x1FFF);
}

TEST(PatTest, ASectionLongerThanThePayloadKeepsOnlyTheEntriesRead)
{
    // A section_length of 4095 announces 1021 entries; the payload holds one.
    PatTable pat;
    parsePat(patPayload({{1, 0x100}}, 4095), pat);
    EXPECT_EQ(pat.section_length, 4095);
    ASSERT_EQ(pat.programCount, 2); // the entry and the CRC, read as one
    EXPECT_EQ(pat.pmtPids[0], 0x100);
    // Too short a payload for any entry: no programs.
    Bytes cut = patPayload({{1, 0x100}}, 4095);
    cut.resize(12);
    PatTable none;
    parsePat(cut, none);
    EXPECT_EQ(none.programCount, 0);
    EXPECT_TRUE(none.pmtPids.empty());
    // Lengths under 9 give the section's own negative count.
    PatTable shortSection;
    parsePat(patPayload({}, 5), shortSection);
    EXPECT_EQ(shortSection.programCount, -1);
}

TEST(PmtTest, StreamsAreReadInOrderStepOverDescriptorsAndEndBeforeTheCrc)
{
    PmtTable pmt;
    ASSERT_TRUE(parsePmt(pmtPayload({{0x1B, 0x1011, {0x28, 2, 1, 2}}, {0x81, 0x1100, {}}}, {0x88, 1, 0}), pmt));
    EXPECT_EQ(pmt.program_number, 1);
    EXPECT_EQ(pmt.PCR_PID, 0x1001);
    EXPECT_EQ(pmt.program_info_length, 3);
    ASSERT_EQ(pmt.streamCount, 2);
    EXPECT_EQ(pmt.streams[0].stream_type, 0x1B);
    EXPECT_EQ(pmt.streams[0].elementary_PID, 0x1011);
    EXPECT_EQ(pmt.streams[0].ES_info_length, 4);
    EXPECT_EQ(pmt.streams[1].stream_type, 0x81);
    EXPECT_EQ(pmt.streams[1].elementary_PID, 0x1100);
    EXPECT_EQ(pmt.streams[1].ES_info_length, 0);
    // A table that holds streams already is not filled again.
    EXPECT_FALSE(parsePmt(pmtPayload({{0x03, 0x44, {}}}), pmt));
}

TEST(PmtTest, SectionsThatAreNoProgramMapOrHoldNoStreamAreRefused)
{
    PmtTable pmt;
    Bytes notAMap = pmtPayload({{0x03, 0x44, {}}});
    notAMap[1] = 0;
    EXPECT_FALSE(parsePmt(notAMap, pmt));
    EXPECT_FALSE(parsePmt(patPayload({{1, 0x100}}), pmt));
    EXPECT_FALSE(parsePmt(Bytes{}, pmt));
    EXPECT_FALSE(parsePmt(pmtPayload({}), pmt));
    EXPECT_TRUE(pmt.streams.empty());
}

TEST(PmtTest, LengthsAboveTheOneByteRangeAreUsedWholeButNotBeyondThePayload)
{
    // 300 bytes of program descriptors: the streams start at byte 313.
    PmtTable wide;
    ASSERT_TRUE(parsePmt(pmtPayload({{0x04, 0x44, {}}}, Bytes(300, 0xAB)), wide));
    EXPECT_EQ(wide.program_info_length, 300);
    ASSERT_EQ(wide.streamCount, 1);
    EXPECT_EQ(wide.streams[0].elementary_PID, 0x44);

    // Section and descriptor lengths of 4095 from a short payload.
    PmtTable longSection;
    ASSERT_TRUE(parsePmt(pmtPayload({{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}}, {}, 4095), longSection));
    EXPECT_EQ(longSection.section_length, 4095);
    ASSERT_GE(longSection.streamCount, 2);
    EXPECT_EQ(longSection.streams[1].elementary_PID, 0x1100);
    for (const PmtStream& stream : longSection.streams)
        EXPECT_NE(stream.stream_type, 0x00) << "read beyond the payload";

    // Program descriptors that run past the payload leave no stream to read.
    Bytes programInfoPastEnd = pmtPayload({{0x04, 0x44, {}}}, {}, 4095);
    programInfoPastEnd[11] = 0xFF; // 4000
    programInfoPastEnd[12] = 0xA0;
    PmtTable pastEnd;
    EXPECT_TRUE(parsePmt(programInfoPastEnd, pastEnd));
    EXPECT_EQ(pastEnd.program_info_length, 4000);
    EXPECT_EQ(pastEnd.streamCount, 0);
    // Descriptors past the section's end leave it no room for a stream.
    programInfoPastEnd[11] = 0xFF;
    programInfoPastEnd[12] = 0xFF;
    PmtTable noRoom;
    EXPECT_FALSE(parsePmt(programInfoPastEnd, noRoom));
}

TEST(AudioStreamTypeTest, OnlyTheAudioTypesOfTheTableCount)
{
    for (const uint8_t type : {0x03, 0x04, 0x0F, 0x81, 0x8A})
        EXPECT_TRUE(isAudioStreamType(type)) << int{type};
    for (const uint8_t type : {0x00, 0x01, 0x02, 0x06, 0x11, 0x1B, 0x24, 0x80, 0x82, 0x90})
        EXPECT_FALSE(isAudioStreamType(type)) << int{type};
}

TEST(CopyPidPayloadTest, TheFirstPacketOnThePidIsCopiedWhateverItsUnitStart)
{
    const Bytes wanted = payloadPacket(0x100, false, {9, 8, 7});
    Bytes broken = payloadPacket(0x100, true, {1});
    broken[0] = 0x00;
    auto in = streamOf(joined({payloadPacket(0x0, true, {1}), broken, wanted, payloadPacket(0x100, true, {2})}));
    TableBuffer buffer;
    ASSERT_EQ(copyPidPayload(0x100, in, buffer, false), 0);
    EXPECT_EQ(buffer.length, 184u);
    EXPECT_EQ(buffer.bytes[0], 9);
    EXPECT_EQ(buffer.bytes[2], 7);
    EXPECT_EQ(buffer.bytes[184], 0);

    auto bdav = streamOf(joined({bdavUnit(payloadPacket(0x0, true, {5, 6}))}));
    TableBuffer fromUnit;
    ASSERT_EQ(copyPidPayload(0x0, bdav, fromUnit, true), 0);
    EXPECT_EQ(fromUnit.bytes[0], 5);
}

TEST(CopyPidPayloadTest, NoWholePacketOnThePidLeavesTheBufferAlone)
{
    Bytes cut = payloadPacket(0x100, true, {1});
    cut.resize(100);
    for (const Bytes& bytes : {Bytes{}, cut, payloadPacket(0x101, true, {1})}) {
        auto in = streamOf(bytes);
        TableBuffer buffer;
        EXPECT_EQ(copyPidPayload(0x100, in, buffer, false), 0);
        EXPECT_EQ(buffer.length, 0u);
        EXPECT_EQ(buffer.bytes[0], 0);
    }
}
