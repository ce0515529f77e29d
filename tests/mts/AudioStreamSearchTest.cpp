// The two searches for an audio PID over transport-stream files, with the
// log lines they leave; and the log hook: silent while empty, three pieces per
// line, and safe to set while other threads log.
#include "mts/AudioStreamSearch.h"
#include "TsBuilder.h"

#include <thread>

using namespace zuk;
using namespace zuktest;
using namespace zuktest::mts;

namespace {

using AudioStreamSearchTest = MtsTest;

Bytes plainStream(const std::vector<PatEntry>& programs, const std::vector<PmtEntry>& streams)
{
    return joined({payloadPacket(0x1011, true, {0, 0, 1, 0xE0}), payloadPacket(0, true, patPayload(programs)),
        payloadPacket(0x100, true, pmtPayload(streams))});
}

const Bytes audioStart{0, 0, 1, 0xC0, 0, 0x0B, 0x80, 0x80, 0};
const Bytes videoStart{0, 0, 1, 0xE0, 0, 0, 0x80, 0x80, 0};

} // namespace

// It fails with the reason logged.
TEST_F(AudioStreamSearchTest, TheTableRouteTakesTheFirstAudioStreamOfTheFirstProgram)
{
    EXPECT_EQ(
        findAudioStream2(file(plainStream({{1, 0x100}}, {{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}})), false), 0x1100);
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

    // Program 0 leads to the network PID, whose section is no program map.
    const Bytes network = joined({payloadPacket(0, true, patPayload({{0, 0x10}, {1, 0x100}})),
        payloadPacket(0x10, true, patPayload({{1, 0x100}})),
        payloadPacket(0x100, true, pmtPayload({{0x03, 0x44, {}}}))});
    const struct {
        const char* what;
        std::string path;
        bool bdav;
        int32_t pid;
        std::vector<std::string> lines;
    } cases[] = {
        {"BDAV",
            file(joined({bdavUnit(payloadPacket(0, true, patPayload({{1, 0x100}}))),
                bdavUnit(payloadPacket(0x100, true, pmtPayload({{0x8A, 0x1101, {1, 2}}})))})),
            true, 0x1101, {}},
        {"no file", dir.file("missing.m2t"), false, -1, {}},
        {"no PAT", file(payloadPacket(0x100, true, pmtPayload({{0x03, 0x44, {}}}))), false, -1,
            {"No programs found", "No, audio Stream Found"}},
        {"program 0 first", file(network), false, -1, {"Parse, no transport packet"}},
        {"no audio type", file(plainStream({{1, 0x100}}, {{0x1B, 0x1011, {}}, {0x06, 0x1012, {}}})), false, -1,
            {"No, audio Stream Found"}},
    };
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        EXPECT_EQ(findAudioStream2(c.path, c.bdav), c.pid) << c.what;
        for (const std::string& line : c.lines)
            EXPECT_TRUE(logged(line)) << c.what << ": " << line;
        EXPECT_EQ(logged("Parse, no transport packet"), c.what == std::string("program 0 first")) << c.what;
    }
}

TEST_F(AudioStreamSearchTest, ThePacketRouteTakesTheFirstMpegAudioStartOrInBdavUnitsTheFirstStartOn0x1100)
{
    Bytes streamIdDF = audioStart;
    streamIdDF[3] = 0xDF;
    const struct {
        const char* what;
        Bytes stream;
        bool bdav;
        int32_t pid;
    } cases[] = {
        {"after a continuation, a low PID, video and no payload",
            joined({payloadPacket(0x31, false, audioStart), payloadPacket(0x0F, true, audioStart),
                payloadPacket(0x30, true, videoStart), packet(0x33, true, 0x30, {182, 0}),
                payloadPacket(0x31, true, audioStart)}),
            false, 0x31},
        {"the last elementary PID, stream id 0xDF", payloadPacket(0x1FFE, true, streamIdDF), false, 0x1FFE},
        {"the null PID", payloadPacket(0x1FFF, true, audioStart), false, 0},
        {"video only", payloadPacket(0x30, true, videoStart), false, 0},
        {"BDAV",
            joined({bdavUnit(payloadPacket(0x0, true, patPayload({{1, 0x100}}))),
                bdavUnit(payloadPacket(0x1101, true, audioStart)), bdavUnit(payloadPacket(0x1100, false, audioStart)),
                bdavUnit(payloadPacket(0x1100, true, videoStart))}),
            true, 0x1100},
    };
    EXPECT_EQ(findAudioStream(dir.file("missing.m2t"), false), -1);
    for (const auto& c : cases) {
        if (c.bdav) {
            for (const char* line :
                {"M2T file", "Unit start indicator found", "Wrong Packet #", "Packet Found preparing return values"})
                EXPECT_TRUE(logged(line)) << line;
            log.captured.pieces.clear();
        }
        EXPECT_EQ(findAudioStream(file(c.stream), c.bdav), c.pid) << c.what;
    }
    EXPECT_TRUE(logged("BDav File"));
    EXPECT_FALSE(logged("Unit start indicator found")) << "BDAV units are told by their PID alone";
}

TEST(MtsLogTest, LinesGoThroughTheHookOnceItIsSetEvenWhileOtherThreadsLog)
{
    zuktest::CapturingSink log;
    std::vector<std::thread> loggers;
    for (int t = 0; t < 4; ++t)
        loggers.emplace_back([] {
            for (int i = 0; i < 2000; ++i)
                mtsLog("before");
        });
    setMtsLogger(LogString);
    for (auto& logger : loggers)
        logger.join();
    log.captured.pieces.clear();
    mtsLogNumber(-1);
    setMtsLogger(nullptr);
    mtsLog("after");
    EXPECT_EQ(log.pieces(), (std::vector<std::string>{"MTSPACKET: ", "MTSPACKET Number:-1", "\n"}));
}
