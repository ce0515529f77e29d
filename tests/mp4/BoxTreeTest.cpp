// The box classes as the parser builds them from bytes, and their dump texts;
// how stored samples become 16-bit samples: the format each sample entry
// names, and the rounding of wider samples.
#include "Mp4Builder.h"
#include "mp4/ContainerBoxes.h"
#include "mp4/PcmFormat.h"

using namespace zuktest::mp4;

namespace {

struct BoxTreeTest : ::testing::Test {
    std::ostringstream text;
    BoxTreeTest() { MP4Box::setDiagnostics(&text); }
    ~BoxTreeTest() override { MP4Box::setDiagnostics(&std::cout); }

    std::string dumped(const MP4Box::MP4Box& parsed)
    {
        text.str("");
        parsed.dump();
        return text.str();
    }
};

using PcmFormat = BoxTreeTest;

const auto entry = parsed<MP4Box::audioSampleEntryBox>;

const std::string kVideoEntry = box("avc1",
    std::string(6, '\0') + be16(1) + std::string(16, '\0') + be16(320) + be16(240) + be32(72u << 16) + be32(72u << 16) +
        be32(0) + be16(1) +
        "\x05"
        "codec" +
        std::string(26, '\0') + be16(24) + be16(0xFFFF));

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

// Version 1 headers, an edit list, a video track whose handler names it,
// data references that name and locate: each field has its line.
TEST_F(BoxTreeTest, AMovieDumpsEveryFieldOfEveryBoxItHolds)
{
    SoundTrack track;
    track.runs = {{1, 1024}};
    track.offsets = {36};
    const std::string mvhd = fullBox("mvhd",
        be64(11) + be64(12) + be32(1000) + be64(uint64_t{5000} << 32) + be32(0x00010000) + be16(0x0100) +
            std::string(70, '\0') + be32(7),
        1);
    const std::string edits = box("edts",
        fullBox("elst",
            be32(2) + be32(100) + be32(0xFFFFFFFF) + be16(1) + be16(0) + be32(200) + be32(50) + be16(1) + be16(0)));
    const std::string references =
        box("dinf", fullBox("dref", be32(2) + fullBox("urn ", std::string("name\0loc", 8)) + fullBox("urn ", "only")));
    const std::string stsd = fullBox("stsd", be32(2) + kVideoEntry); // states two, holds one
    const std::string video = box("trak",
        edits +
            box("mdia",
                fullBox("mdhd", be64(1) + be64(2) + be32(48000) + be64(9) + "\x15\xc7" + be16(0), 1) +
                    fullBox("hdlr", be32(0) + "vide" + std::string(12, '\0') + "Track") + // no NUL
                    box("minf", references + box("stbl", stsd))));
    const std::string dump = dumped(*parsed<MP4Box::moovBox>(box("moov", mvhd + soundTrak(track) + video)));
    for (const char* line : {"=========Box Dump=========\nCode :moov\n", "Boxes contained in moovBox:\nmoov:\n",
             "Code :mvhd\n", "trakBox:\n", "mdiaBox:\n", "handler_type :soun\nReserved :0 0 0\nName:Sound\n", "minf\n",
             "dinfBox\n", "Entries:1\ndref:\n", "Code :url \nBox Size :12\nVersion :0\nflags :0 0 1\nNo Location:\n",
             "stbl:\n", "Box Count:1\nstsd:\ntrak type: 2\n", "Code :twos\n",
             "Channel Count:2\nsample size :16\nsample rate :3145728000 , 48000:0\n",
             "Entry_count:1\nEntry: 0\nFirstChunk:1\nsamples per chunk:1024\nsample description index:1\n",
             "sample_size:1\nsample_count:0\n", "Entry Count1\nChunk1:36\n",
             "timescale(times units in a second):1000\nDuration( in timescale units):21474836480000\n"
             "Preferred play back rate:1:0\nPreferred volume:1:0\n",
             "Next Track ID7\n", "Entry 0\nSegment Duration :100\nMedia Time :-1\n",
             "Entry 1\nSegment Duration :200\nMedia Time :50\n", "timescale: 48000\nDuration: 9\nlanguage:5575\n",
             "handler_type :vide\nReserved :0 0 0\nName:Track\n", "Name:name\nLocation:loc\n",
             "Name:only\nNo Location:\n", "Box Count:2\nstsd:\ntrak type: 1\n", "width :320\nheight :240\n",
             "frame cout:1\ncompressor name:codec\ndepth:24\n"})
        EXPECT_TRUE(contains(dump, line)) << line << "\nnot in:\n" << dump;
    EXPECT_EQ(dump.find("Code :avc1"), dump.rfind("Code :avc1")) << "one entry";
}

// Each width and byte order on real files is the ffmpeg comparison's; here the
// edges of the rounding: less than half a step down, half a step up, -1 to 0,
// full scale kept; and a partial sample at the end, not converted.
TEST_F(PcmFormat, WiderSamplesAreRoundedToSixteenBits)
{
    const std::vector<uint8_t> bytes{
        0x12, 0x34, 0x7F, 0x12, 0x34, 0x80, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xC0, 0x80, 0x00, 0x00, 0x12, 0x34};
    std::vector<int16_t> out(bytes.size());
    out.resize(zuk::toShorts(bytes, {3, false, false}, out));
    EXPECT_EQ(out, (std::vector<int16_t>{0x1234, 0x1235, 0, 32767, -32768}));
}

// Version 1 descriptions state 16 bits for in24 and in32, whose width is
// fixed; unspecified formats and codes not known here are "raw " at 8 bits
// and "twos" above; compressed sound (one listed code stands for all) and odd
// widths have no layout.
TEST_F(PcmFormat, TheFormatCodeAndSizeNameTheLayout)
{
    const std::string zero(4, '\0');
    const struct {
        std::string code;
        uint16_t bits;
        unsigned bytes; // 0: not PCM that can be copied
        bool little, isUnsigned;
    } cases[] = {
        {"raw ", 16, 2, false, false},
        {"in24", 16, 3, false, false},
        {"in32", 16, 4, false, false},
        {"NONE", 8, 1, false, true},
        {zero, 24, 3, false, false},
        {"abcd", 32, 4, false, false},
        {"twos", 0, 0, false, false},
        {"twos", 12, 0, false, false},
        {"twos", 40, 0, false, false},
        {"raw ", 24, 0, false, false},
        {"abcd", 20, 0, false, false},
        {"lpcm", 16, 0, false, false},
        {std::string("ms\0\1", 4), 16, 0, false, false},
    };
    for (const auto& c : cases) {
        SoundTrack track;
        track.format = c.code;
        track.bits = c.bits;
        const auto got = zuk::pcmFormatOf(*entry(soundEntry(track)));
        ASSERT_EQ(got.has_value(), c.bytes != 0) << c.code << " " << c.bits;
        if (!got)
            continue;
        EXPECT_EQ(got->bytesPerSample, c.bytes) << c.code << " " << c.bits;
        EXPECT_EQ(got->littleEndian, c.little) << c.code << " " << c.bits;
        EXPECT_EQ(got->isUnsigned, c.isUnsigned) << c.code << " " << c.bits;
    }
}
