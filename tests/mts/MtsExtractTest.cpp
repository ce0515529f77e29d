// The demultiplexer: the two searches for an audio PID, with the log lines
// they leave; the demultiplexing stage, its PES file and elementary stream
// against ffmpeg and the plainest reading of the packets, and each way it
// fails; MTSExtract, MTSExtract2 and the transport-stream routes of Extract:
// the results, the files left beside the output, which back ends are asked,
// and how (the decoded lengths are the decoder's tests').
#include "mts/AudioStreamSearch.h"
#include "mts/PesExtraction.h"
#include "mts/TsBuilder.h"
#include "mts/TsToMp2.h"
#include "support/FakeSiblings.h"
#include "support/MediaFixtures.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <filesystem>
#include <functional>

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

Bytes bytesOf(const std::string& path)
{
    const std::string text = fileBytes(path);
    return Bytes(text.begin(), text.end());
}

// Every whole unit's packet payload on `pid`, past any adaptation field.
Bytes payloadsOfPid(const Bytes& stream, uint16_t pid, bool bdav = false)
{
    const size_t unitSize = bdav ? 192 : 188;
    Bytes all;
    for (size_t at = bdav ? 4 : 0; at + 188 <= stream.size(); at += unitSize) {
        if (((stream[at + 1] & 0x1F) << 8 | stream[at + 2]) != pid || (stream[at + 3] & 0x10) == 0)
            continue;
        const size_t start = at + 4 + ((stream[at + 3] & 0x20) != 0 ? 1 + stream[at + 4] : 0);
        all.insert(all.end(), stream.begin() + static_cast<ptrdiff_t>(start),
            stream.begin() + static_cast<ptrdiff_t>(at + 188));
    }
    return all;
}

// An audio PES packet (MPEG audio stream 0xC0) with a 3-byte header and no
// optional fields.
Bytes pesPacket(const Bytes& payload, uint8_t streamId = 0xC0)
{
    const size_t length = 3 + payload.size();
    return joined(
        {{0, 0, 1, streamId, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0x80, 0, 0}, payload});
}

// Two audio PES packets on `pid`, found by their packets (no tables), after a
// video packet and a piece of a PES packet whose start came before the file's;
// in BDAV units or plain packets. The last packet of each is filled up by an
// adaptation field, as muxers do.
Bytes twoPacketStream(const Bytes& first, const Bytes& second, uint16_t pid = 0x44, bool bdav = false)
{
    std::vector<Bytes> packets{
        payloadPacket(0x100, true, pesPacket(counting(50), 0xE0)), payloadPacket(pid, false, Bytes(184, 0xAA))};
    for (const Bytes& pes : {pesPacket(first), pesPacket(second)})
        for (size_t at = 0; at < pes.size(); at += 184) {
            const Bytes chunk(pes.begin() + static_cast<ptrdiff_t>(at),
                pes.begin() + static_cast<ptrdiff_t>(std::min(pes.size(), at + 184)));
            const auto stuffing = static_cast<uint8_t>(183 - std::min<size_t>(chunk.size(), 183));
            Bytes field(size_t{1} + stuffing, 0xFF);
            field[0] = stuffing;
            if (stuffing > 0)
                field[1] = 0x00; // no flags
            packets.push_back(chunk.size() == 184 ? payloadPacket(pid, at == 0, chunk)
                                                  : packet(pid, at == 0, 0x30, joined({field, chunk})));
        }
    for (Bytes& unit : packets)
        unit = bdav ? bdavUnit(unit) : unit;
    return joined(packets);
}

struct TsToMp2Test : MtsTest {
    std::string input = dir.file("take.m2t");
    std::string mp2 = dir.file("take.wav.mp2");

    int32_t run(bool bdav = false) { return EXTRACT_TS_TO_MP2(input, mp2, bdav); }
};

using Lines = std::vector<std::string>;

const std::string kQtax = "ZUK: Attempting to use qtax. \n";
const std::string kNoQtax = "ZUK: Ignoring qtax for AVCHD streams, because AC3 causes silent audio to be extracted\n";
const std::string kDsax = "ZUK: Attempting to use dsax. \n";
const std::string kAviRoute = "ZUK: Attempting to send to ACM/AVI wrapper first. \n";
const std::string kAviFailed = "ZUK: ACM/AVI wrapper failed. \n";
const std::string kMfax = "ZUK: Attempting to use mfax. \n";
const std::string kSuccess = "ZUK: Extraction success. \n";
const std::string kGiveUp = "ZUK: Could not extract audio. \n";
const std::string kFailed = "ZUK: Failed. \n";

// The lines that tell which back ends were tried, in order.
Lines chainLines(const CapturingSink& log)
{
    const Lines known{kQtax, kNoQtax, kDsax, kAviRoute, kAviFailed, kMfax, kSuccess, kGiveUp, kFailed};
    Lines lines;
    for (const std::string& piece : log.pieces())
        if (std::find(known.begin(), known.end(), piece) != known.end())
            lines.push_back(piece);
    return lines;
}

using Entry = std::function<int32_t(const zuk_char* input, const zuk_char* output)>;

Entry mtsExtract(int32_t avchd, bool second = false)
{
    return [=](const zuk_char* input, const zuk_char* output) {
        return second ? MTSExtract2(input, output, nullptr, avchd, avchd)
                      : MTSExtract(input, output, nullptr, 0, avchd);
    };
}

int32_t extract(const zuk_char* input, const zuk_char* output)
{
    return Extract(input, output, nullptr);
}

} // namespace

// It fails with the reason logged.
TEST_F(AudioStreamSearchTest, TheTableRouteTakesTheFirstAudioStreamOfTheFirstProgram)
{
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
        {"plain", file(plainStream({{1, 0x100}}, {{0x1B, 0x1011, {}}, {0x81, 0x1100, {}}})), false, 0x1100,
            {"Looking for Audio Streams in Program map table"}},
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

TEST_F(TsToMp2Test, CamcorderStreamsLeaveThePayloadsOfTheAudioPidAndTheStreamFfmpegCopiesOut)
{
    const struct {
        const char* name;
        uint16_t pid;
        bool bdav;
        const char* ffmpegFormat;
    } fixtures[] = {{"ts-mp2.m2t", 0x44, false, "mp2"}, {"bdav-ac3.m2ts", 0x1100, true, "ac3"}};
    for (const auto& fixture : fixtures) {
        const std::string path = mediaFixture(fixture.name);
        ASSERT_EQ(EXTRACT_TS_TO_MP2(path, mp2, fixture.bdav), 0) << fixture.name;
        EXPECT_EQ(bytesOf(mp2 + ".m2v"), payloadsOfPid(bytesOf(path), fixture.pid, fixture.bdav)) << fixture.name;
        ASSERT_GT(fileBytes(mp2).size(), 10000u) << fixture.name;
        EXPECT_TRUE(commandOutput({"ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", "-c", "copy", "-f",
                        fixture.ffmpegFormat, "-"}) == fileBytes(mp2))
            << fixture.name;
    }
}

TEST_F(TsToMp2Test, StreamsWithoutTablesLeaveEveryPayloadOfTheirAudioPidAndEveryWholePesPacket)
{
    const Bytes first = counting(400, 1);
    const Bytes second = counting(100, 7);
    const Bytes both = joined({first, second});
    const Bytes stream = twoPacketStream(first, second);
    // The second PES packet loses its last packet, and a cut unit follows.
    Bytes cut = twoPacketStream(first, counting(300, 9));
    cut.erase(cut.end() - 188, cut.end());
    append(cut, Bytes{0x47, 0x00, 0x44, 0x10, 0, 0, 1});
    // A sync byte that no unit follows, before the first unit and after the second.
    Bytes junk = stream;
    junk.insert(junk.begin() + 2 * 188, {0x00, 0x47});
    junk.insert(junk.begin(), 0x47);
    const Bytes bdav = twoPacketStream(first, second, 0x1100, true);
    const struct {
        const char* what;
        Bytes stream;
        bool bdav;
        Bytes elementary, pes;
        const char* logged;
    } cases[] = {
        {"plain", stream, false, both, payloadsOfPid(stream, 0x44), "Trying secondary audio stream lookup function"},
        {"cut at the end", cut, false, first, payloadsOfPid(cut, 0x44), "-----In EXTRACT_TS_TO_MP2-----"},
        {"bytes between units", junk, false, both, payloadsOfPid(stream, 0x44),
            "Skipped 3 bytes to find the next packet"},
        {"BDAV, on 0x1100", bdav, true, both, payloadsOfPid(bdav, 0x1100, true), "BDav File"},
    };
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        writeBytes(input, c.stream);
        ASSERT_EQ(run(c.bdav), 0) << c.what;
        EXPECT_EQ(log.joined().find("MTSPACKET: -----In EXTRACT_TS_TO_MP2-----\n"), 0u) << c.what;
        EXPECT_NE(log.joined().find(std::string("MTSPACKET: ") + c.logged + "\n"), std::string::npos) << c.what;
        EXPECT_EQ(bytesOf(mp2), c.elementary) << c.what;
        EXPECT_EQ(bytesOf(mp2 + ".m2v"), c.pes) << c.what << ": the piece before the first start too";
    }
}

TEST_F(TsToMp2Test, APesPacketWhoseLengthMissesTheNextStartCodeEndsThereAndTheWalkGoesOn)
{
    const Bytes first = counting(20, 1);
    const Bytes second = counting(30, 100);
    const Bytes third = counting(10, 200);
    const auto withLength = [](Bytes pes, size_t length) {
        pes[4] = static_cast<uint8_t>(length >> 8);
        pes[5] = static_cast<uint8_t>(length);
        return pes;
    };
    const Bytes junk{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    const struct {
        const char* what;
        Bytes damagedSecond;
        Bytes secondWritten;
        const char* logged;
    } cases[] = {
        {"open length, as video has", withLength(pesPacket(second), 0), second, "Error Parsing PES Header\n"},
        {"too long", withLength(pesPacket(second), 0xFFFF), second, "Error Parsing PES Header\n"},
        {"too short", withLength(pesPacket(second), 3 + 20), Bytes(second.begin(), second.begin() + 20),
            "Skipped 10 bytes to find the next packet\n"},
        {"bytes after it", joined({pesPacket(second), junk}), second, "Skipped 6 bytes to find the next packet\n"},
    };
    const std::string pes = dir.file("take.pes");
    for (const auto& c : cases) {
        log.captured.pieces.clear();
        writeBytes(pes, joined({pesPacket(first), c.damagedSecond, pesPacket(third)}));
        EXPECT_EQ(extractPesPayloads(pes, mp2), 3) << c.what;
        EXPECT_EQ(bytesOf(mp2), joined({first, c.secondWritten, third})) << c.what;
        EXPECT_NE(log.joined().find(std::string("MTSPACKET: ") + c.logged), std::string::npos) << c.what;
    }
    writeBytes(pes, junk);
    EXPECT_EQ(extractPesPayloads(pes, mp2), ZUK_E_OPEN) << "no start code";
}

TEST(FindStartCode, FindsTheFirstStartCodeWhereverItLiesAcrossTheReadChunks)
{
    TempDir dir;
    const std::string path = dir.file("pes");
    const auto startCodeAt = [&](size_t size, const std::vector<size_t>& positions) {
        Bytes bytes(size, 0x55);
        for (const size_t at : positions) {
            bytes[at] = bytes[at + 1] = 0;
            bytes[at + 2] = 1;
        }
        writeBytes(path, bytes);
        return findStartCode(path);
    };
    // The search reads 3072 bytes at a time.
    for (const auto& [size, at] :
        {std::pair<size_t, size_t>{100, 0}, {10000, 3070}, {10000, 3071}, {10000, 3072}, {9000, 8997}})
        EXPECT_EQ(startCodeAt(size, {at, size - 3}), static_cast<int64_t>(at)) << at;
    EXPECT_EQ(startCodeAt(9000, {}), -1);
    EXPECT_EQ(startCodeAt(0, {}), -1);
    EXPECT_EQ(findStartCode(dir.file("missing")), -1);
}

// A stream with no audio start fails before the PES stage, which would
// otherwise walk the program association table on PID 0.
TEST_F(TsToMp2Test, StreamsWithoutAudioAndFilesThatCannotBeWrittenFail)
{
    writeBytes(input, payloadPacket(0x100, true, Bytes{0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(run(), ZUK_E_OPEN);
    EXPECT_TRUE(logged("No, audio Stream Found"));
    EXPECT_FALSE(logged("Error, parsing PES packets"));

    writeBytes(input, twoPacketStream(counting(2000, 1), counting(100, 7)));
    EXPECT_EQ(EXTRACT_TS_TO_MP2(input, dir.file("missing/take.mp2"), false), ZUK_E_PES_FILE);

    std::filesystem::create_directory(mp2);
    EXPECT_EQ(run(), ZUK_E_WRITE) << "the elementary stream's name is taken by a folder";
    std::filesystem::remove(mp2);

    {
        FileSizeLimit limit(1000);
        EXPECT_EQ(run(), ZUK_E_WRITE) << "the PES file cannot grow";
    }
    EXPECT_TRUE(logged("Error, parsing transport packets"));
}

using MtsExtractTest = MtsTest;

TEST_F(MtsExtractTest, EachEntryTriesItsBackEndsInTurnAndTheirResultStands)
{
    const std::string output = dir.file("take.wav");
    const auto copied = [&](const std::string& fixture, const std::string& name) {
        std::filesystem::copy_file(mediaFixture(fixture), dir.file(name), std::filesystem::copy_options::skip_existing);
        return dir.file(name);
    };
    const std::string bdav = copied("bdav-ac3.m2ts", "take.m2ts");
    const std::string plain = copied("ts-mp2.m2t", "take.m2t");
    writeBytes(dir.file("noise.m2t"), undecodableAudio());
    const std::string mfax = "vostrin\tmfax_ExtractAudio\t" + output + ".mp2\t" + output + ".mp2temp1";
    const std::string qtax = "dornalt\tQtax_Extraction\t" + output + ".mp2\t" + output;
    const Lines bdavChain{kQtax, kNoQtax, kDsax, kSuccess};
    const struct {
        const char* what;
        Entry entry;
        std::string input;
        std::vector<std::string> siblings; // asked to answer 3, or -1 for vostrin
        int32_t result;
        Lines chain;
        std::string firstCall = {}; // of the first sibling; empty: none
    } rows[] = {
        // The framing follows the bytes, whatever the file is called.
        {"Extract, plain", extract, copied("ts-mp2.m2t", "plain.mts"), {}, ZUK_OK_UNPADDED, {kQtax, kDsax, kSuccess}},
        {"Extract, BDAV named .m2t", extract, copied("bdav-ac3.m2ts", "bdav.m2t"), {}, ZUK_OK_UNPADDED, bdavChain},
        {"MTSExtract2 answers 0 for any success", mtsExtract(1, true), bdav, {}, ZUK_OK, bdavChain},
        // Only the low byte of the flag counts.
        {"MTSExtract, BDAV", mtsExtract(0x101), bdav, {"dornalt", "quicktime"}, ZUK_OK_UNPADDED, bdavChain},
        {"MTSExtract, plain", mtsExtract(0x100), plain, {"dornalt", "quicktime"}, 3, {kQtax, kSuccess}, qtax},
        // No rewrap to decode: the decoder's result on the elementary stream stands.
        {"MTSExtract, undecodable", mtsExtract(0), dir.file("noise.m2t"), {"vostrin"}, -2,
            {kQtax, kDsax, kAviRoute, kAviFailed}},
        {"MTSExtract2, undecodable", mtsExtract(0, true), dir.file("noise.m2t"), {"vostrin"}, ZUK_E_EXTRACT,
            {kQtax, kDsax, kMfax, kGiveUp}, mfax},
        {"MTSExtract, missing", mtsExtract(0), dir.file("missing.m2t"), {}, ZUK_E_EXTRACT, {}},
        {"MTSExtract2, missing", mtsExtract(0, true), dir.file("missing.m2t"), {}, ZUK_E_OPEN, {kFailed}},
    };
    for (const auto& row : rows) {
        log.captured.pieces.clear();
        FakeSiblings fakes(row.siblings);
        fakes.set("DORNALT_RESULT", "3");
        fakes.set("VOSTRIN_RESULT", "-1");
        EXPECT_EQ(row.entry(wide(row.input).c_str(), wide(output).c_str()), row.result) << row.what;
        EXPECT_EQ(chainLines(log), row.chain) << row.what;
        const bool demultiplexed = !row.chain.empty() && row.chain[0] == kQtax;
        EXPECT_EQ(std::filesystem::exists(output + ".mp2"), demultiplexed) << row.what << ": intermediates stay";
        EXPECT_EQ(std::filesystem::exists(output + ".mp2.m2v"), demultiplexed) << row.what;
        EXPECT_FALSE(std::filesystem::exists(output + ".avi")) << row.what;
        Lines calls;
        for (const std::string& call : row.siblings.empty() ? Lines{} : fakes.callsOf(row.siblings[0]))
            if (!call.ends_with("loaded"))
                calls.push_back(call);
        EXPECT_EQ(calls.empty() ? "" : calls.front(), row.firstCall) << row.what;
        std::filesystem::remove(output + ".mp2");
        std::filesystem::remove(output + ".mp2.m2v");
    }
}
