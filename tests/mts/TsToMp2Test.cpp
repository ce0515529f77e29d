// The demultiplexing stage: the PES file and the elementary stream it leaves,
// against ffmpeg and the plainest reading of the packets, and each way it fails.
#include "mts/TsToMp2.h"
#include "mts/PesExtraction.h"
#include "mts/PidExtraction.h"
#include "mts/TsBuilder.h"
#include "support/MediaFixtures.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <filesystem>

using namespace zuk;
using namespace zuktest;
using namespace zuktest::mts;

namespace {

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

struct Fixture {
    const char* name;
    uint16_t pid;
    bool bdav;
    const char* ffmpegFormat;
};

class FixtureStreams : public TsToMp2Test, public ::testing::WithParamInterface<Fixture> { };

} // namespace

TEST_P(FixtureStreams, LeaveThePayloadsOfTheAudioPidAndTheStreamFfmpegCopiesOut)
{
    const Fixture& fixture = GetParam();
    const std::string path = mediaFixture(fixture.name);
    ASSERT_EQ(EXTRACT_TS_TO_MP2(path, mp2, fixture.bdav), 0);
    EXPECT_EQ(bytesOf(mp2 + ".m2v"), payloadsOfPid(bytesOf(path), fixture.pid, fixture.bdav));
    ASSERT_GT(fileBytes(mp2).size(), 10000u);
    EXPECT_TRUE(commandOutput({"ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", "-c", "copy", "-f",
                    fixture.ffmpegFormat, "-"}) == fileBytes(mp2));
}

INSTANTIATE_TEST_SUITE_P(Camcorder, FixtureStreams,
    ::testing::Values(Fixture{"ts-mp2.m2t", 0x44, false, "mp2"}, Fixture{"bdav-ac3.m2ts", 0x1100, true, "ac3"}),
    [](const auto& test) { return test.param.bdav ? "Bdav" : "Plain"; });

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

// Serves its bytes, then fails as a disk does when a read goes wrong.
struct FailingBuffer : std::streambuf {
    explicit FailingBuffer(Bytes& bytes)
    {
        char* const begin = reinterpret_cast<char*>(bytes.data());
        setg(begin, begin, begin + bytes.size());
    }
    int_type underflow() override { throw std::ios_base::failure("read error"); }
    pos_type seekpos(pos_type at, std::ios_base::openmode) override
    {
        setg(eback(), eback() + at, egptr());
        return at;
    }
};

// A stream with no audio start fails before the PES stage, which would
// otherwise walk the program association table on PID 0.
TEST_F(TsToMp2Test, StreamsWithoutAudioAndFilesThatCannotBeReadOrWrittenFail)
{
    writeBytes(input, payloadPacket(0x100, true, Bytes{0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(run(), ZUK_E_OPEN);
    EXPECT_TRUE(logged("No, audio Stream Found"));
    EXPECT_FALSE(logged("Error, parsing PES packets"));

    Bytes stream = twoPacketStream(counting(2000, 1), counting(100, 7));
    FailingBuffer failing(stream);
    std::istream in(&failing);
    EXPECT_EQ(extractPidToFile(mp2 + ".m2v", 0x44, in, false), ZUK_E_OPEN) << "a read error";

    writeBytes(input, stream);
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

TEST_F(TsToMp2Test, FindsTheFirstStartCodeWhereverItLies)
{
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
    EXPECT_EQ(startCodeAt(10000, {3070, 5000}), 3070) << "at the end of the first chunk";
    EXPECT_EQ(startCodeAt(10000, {3071}), 3071) << "across two chunks";
    EXPECT_EQ(startCodeAt(9000, {8997}), 8997) << "in the last three bytes";
    EXPECT_EQ(startCodeAt(9000, {}), -1);
    EXPECT_EQ(findStartCode(dir.file("missing")), -1);
}
