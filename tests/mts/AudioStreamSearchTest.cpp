// The two searches for an audio PID over transport-stream files, with the
// log lines they leave.
#include "TsBuilder.h"
#include "mts/AudioStreamSearch.h"
#include "mts/MtsLog.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>


using namespace zuk;
using namespace zuktest;
using namespace zuktest::mts;

namespace {

struct AudioStreamSearchTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;

    AudioStreamSearchTest() { setMtsLogger(LogString); }
    ~AudioStreamSearchTest() override { setMtsLogger(nullptr); }

    std::string file(const Bytes& bytes)
    {
        const std::string path = dir.file("in.m2t");
        writeBytes(path, bytes);
        return path;
    }
    bool logged(const std::string& line) const
    {
        return log.joined().find("MTSPACKET: " + line + "\n") != std::string::npos;
    }
};

Bytes plainStream(const std::vector<PatEntry>& programs, const std::vector<PmtEntry>& streams)
{
    return joined({payloadPacket(0x1011, true, {0, 0, 1, 0xE0}), payloadPacket(0, true, patPayload(programs)),
                   payloadPacket(0x100, true, pmtPayload(streams))});
}

const Bytes audioStart{0, 0, 1, 0xC0, 0, 0x0B, 0x80, 0x80, 0};
const Bytes videoStart{0, 0, 1, 0xE0, 0, 0, 0x80, 0x80, 0};

} // namespace

TEST_F(AudioStreamSearchTest, TheTableRouteTakesTheFirstAudioStreamOfTheFirstProgram)
{
    EXPECT_EQ(findAudioStream2(file(plainStream({{1, 0x100}}, {{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}})), false),
              0x1100);
    const std::string expected = "MTSPACKET: In Fine Audio Stream 2\nMTSPACKET: file Opened\n"
                                 "MTSPACKET: Copying TS stream to buffer\nMTSPACKET: Looking for PID: \n"
                                 "MTSPACKET: MTSPACKET Number:0\nMTSPACKET: Looking for Program map\n"
                                 "MTSPACKET: Number of Programs\nMTSPACKET: MTSPACKET Number:1\n"
                                 "MTSPACKET: Program Map\nMTSPACKET: MTSPACKET Number:256\n"
                                 "MTSPACKET: Program Number, (if it's 0 it's a network ID):\n"
                                 "MTSPACKET: MTSPACKET Number:1\nMTSPACKET: looking for PID\n"
                                 "MTSPACKET: Reading stream\nMTSPACKET: Copying TS stream to buffer\n"
                                 "MTSPACKET: Looking for PID: \nMTSPACKET: MTSPACKET Number:256\n"
                                 "MTSPACKET: Parsing Program map\n"
                                 "MTSPACKET: Looking for Audio Streams in Program map table\n";
    EXPECT_EQ(log.joined(), expected);

    EXPECT_EQ(findAudioStream2(file(plainStream({{1, 0x100}}, {{0x04, 0x44, {}}, {0x0F, 0x45, {}}})), false), 0x44);
    const Bytes bdav = joined({bdavUnit(payloadPacket(0, true, patPayload({{1, 0x100}}))),
                               bdavUnit(payloadPacket(0x100, true, pmtPayload({{0x8A, 0x1101, {1, 2}}})))});
    EXPECT_EQ(findAudioStream2(file(bdav), true), 0x1101);
}

TEST_F(AudioStreamSearchTest, TheTableRouteFailsWithTheReasonLogged)
{
    EXPECT_EQ(findAudioStream2(dir.file("missing.m2t"), false), -1);
    EXPECT_EQ(log.joined(), "MTSPACKET: In Fine Audio Stream 2\n");

    EXPECT_EQ(findAudioStream2(file(payloadPacket(0x100, true, pmtPayload({{0x03, 0x44, {}}}))), false), -1);
    EXPECT_TRUE(logged("No programs found"));
    EXPECT_TRUE(logged("No, audio Stream Found"));

    // Program 0 leads to the network PID, whose section is no program map.
    const Bytes network = joined({payloadPacket(0, true, patPayload({{0, 0x10}, {1, 0x100}})),
                                  payloadPacket(0x10, true, patPayload({{1, 0x100}})),
                                  payloadPacket(0x100, true, pmtPayload({{0x03, 0x44, {}}}))});
    EXPECT_EQ(findAudioStream2(file(network), false), -1);
    EXPECT_TRUE(logged("Parse, no transport packet"));

    log.captured.pieces.clear();
    EXPECT_EQ(findAudioStream2(file(plainStream({{1, 0x100}}, {{0x1B, 0x1011, {}}, {0x06, 0x1012, {}}})), false), -1);
    EXPECT_TRUE(logged("No, audio Stream Found"));
    EXPECT_FALSE(logged("Parse, no transport packet"));
}

TEST_F(AudioStreamSearchTest, ThePacketRouteTakesTheFirstMpegAudioStartInPlainStreams)
{
    const Bytes stream = joined({payloadPacket(0x31, false, audioStart), payloadPacket(0x0F, true, audioStart),
                                 payloadPacket(0x30, true, videoStart), packet(0x33, true, 0x30, {182, 0}),
                                 payloadPacket(0x31, true, audioStart)});
    EXPECT_EQ(findAudioStream(file(stream), false), 0x31);
    EXPECT_TRUE(logged("M2T file"));
    EXPECT_TRUE(logged("Wrong Packet #"));
    EXPECT_TRUE(logged("Packet Found preparing return values"));

    Bytes stream2 = audioStart;
    stream2[3] = 0xDF;
    EXPECT_EQ(findAudioStream(file(payloadPacket(0x1FFE, true, stream2)), false), 0x1FFE);
    EXPECT_EQ(findAudioStream(file(payloadPacket(0x1FFF, true, audioStart)), false), 0);
}

TEST_F(AudioStreamSearchTest, ThePacketRouteReportsNothingFoundAsZero)
{
    Bytes cut = payloadPacket(0x31, true, audioStart);
    cut.resize(187);
    for (const Bytes& bytes : {Bytes{}, cut, payloadPacket(0x30, true, videoStart)})
        EXPECT_EQ(findAudioStream(file(bytes), false), 0);
    EXPECT_EQ(findAudioStream(dir.file("missing.m2t"), false), -1);
}

TEST_F(AudioStreamSearchTest, InBdavStreamsThePacketRouteTakesTheFirstUnitStartOn0x1100)
{
    const Bytes stream = joined({bdavUnit(payloadPacket(0x0, true, patPayload({{1, 0x100}}))),
                                 bdavUnit(payloadPacket(0x100, true, pmtPayload({{0x81, 0x1101, {}}}))),
                                 bdavUnit(payloadPacket(0x1101, true, audioStart)),
                                 bdavUnit(payloadPacket(0x1100, false, audioStart)),
                                 bdavUnit(payloadPacket(0x1100, true, videoStart))});
    EXPECT_EQ(findAudioStream(file(stream), true), 0x1100);
    EXPECT_TRUE(logged("BDav File"));
    EXPECT_FALSE(logged("Unit start indicator found"));
}
