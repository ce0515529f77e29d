// MTSExtract and MTSExtract2, and the transport-stream routes of Extract: the
// sound that comes out, the files left beside it, which back ends are asked,
// and the results of each failure.
#include "mts/MtsLog.h"
#include "mts/TsBuilder.h"
#include "support/FakeSiblings.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace zuktest;
using namespace zuktest::mts;

namespace {

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

// The calls the fakes of `library` logged, their loading left out.
Lines callsOf(const FakeSiblings& fakes, const std::string& library)
{
    Lines calls;
    for (const std::string& line : fakes.callsOf(library))
        if (!line.ends_with("loaded"))
            calls.push_back(line);
    return calls;
}

struct MtsExtractTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    std::string output = dir.file("take.wav");

    ~MtsExtractTest() override { zuk::setMtsLogger(nullptr); }

    // A copy of the fixture under `name`, whose extension picks the route.
    std::string copied(const std::string& fixture, const std::string& name)
    {
        const std::string path = dir.file(name);
        std::filesystem::copy_file(mediaFixture(fixture), path);
        return path;
    }

    std::string undecodable()
    {
        const std::string path = dir.file("noise.m2t");
        writeBytes(path, undecodableAudio());
        return path;
    }

    int32_t extract(const std::string& input) { return Extract(wide(input).c_str(), wide(output).c_str(), nullptr); }
};

struct Stream {
    const char* fixture;
    const char* name;
    bool bdav;
    int64_t frames;
};

class CamcorderStreams : public MtsExtractTest, public ::testing::WithParamInterface<Stream> { };

} // namespace

// The demultiplexed bytes are compared with ffmpeg's where the stage is
// tested, and their decoding where the decoder is: here, the route.
TEST_P(CamcorderStreams, ExtractDecodesTheElementaryStreamAndLeavesTheIntermediates)
{
    FakeSiblings none{};
    const std::string input = copied(GetParam().fixture, GetParam().name);
    ASSERT_EQ(extract(input), ZUK_OK_UNPADDED) << "the elementary stream has no video";
    EXPECT_EQ(readShorts(output).frames(), GetParam().frames);
    EXPECT_TRUE(std::filesystem::exists(output + ".mp2"));
    EXPECT_TRUE(std::filesystem::exists(output + ".mp2.m2v"));
    EXPECT_EQ(
        chainLines(log), GetParam().bdav ? (Lines{kQtax, kNoQtax, kDsax, kSuccess}) : (Lines{kQtax, kDsax, kSuccess}));
}

// The framing follows the bytes, whatever the file is called.
INSTANTIATE_TEST_SUITE_P(Routes, CamcorderStreams,
    ::testing::Values(Stream{"bdav-ac3.m2ts", "take.M2TS", true, 96768},
        Stream{"ts-mp2.m2t", "plain.mts", false, 144000}, Stream{"bdav-ac3.m2ts", "bdav.m2t", true, 96768}),
    [](const auto& test) {
        std::string name = test.param.name;
        std::replace(name.begin(), name.end(), '.', '_');
        return name;
    });

TEST_F(MtsExtractTest, QuickTimeIsAskedForPlainStreamsOnlyAndItsSuccessStands)
{
    FakeSiblings fakes{"quicktime", "dornalt"};
    fakes.set("DORNALT_RESULT", "3");
    const std::string bdav = copied("bdav-ac3.m2ts", "take.m2ts");
    ASSERT_EQ(MTSExtract(wide(bdav).c_str(), wide(output).c_str(), nullptr, 0, 0x101), ZUK_OK_UNPADDED)
        << "only the low byte of the flag counts";
    EXPECT_TRUE(callsOf(fakes, "dornalt").empty());

    const std::string plain = copied("ts-mp2.m2t", "take.m2t");
    log.captured.pieces.clear();
    EXPECT_EQ(MTSExtract(wide(plain).c_str(), wide(output).c_str(), nullptr, 0, 0x100), 3);
    EXPECT_EQ(callsOf(fakes, "dornalt"), (Lines{"dornalt\tQtax_Extraction\t" + output + ".mp2\t" + output}));
    EXPECT_EQ(chainLines(log), (Lines{kQtax, kSuccess}));
}

TEST_F(MtsExtractTest, WhenNoBackEndDecodesTheStreamTheLastResultStands)
{
    FakeSiblings fakes{"vostrin"};
    fakes.set("VOSTRIN_RESULT", "-1");
    const std::string input = undecodable();
    const int32_t result = MTSExtract(wide(input).c_str(), wide(output).c_str(), nullptr, 0, 0);
    EXPECT_LT(result, 0);
    EXPECT_EQ(chainLines(log), (Lines{kQtax, kDsax, kAviRoute, kAviFailed}));
    EXPECT_TRUE(std::filesystem::exists(output + ".mp2")) << "intermediates stay whatever the result";
    EXPECT_FALSE(std::filesystem::exists(output + ".avi"));
    EXPECT_EQ(result, Dsax_Extraction(wide(output + ".mp2").c_str(), wide(output).c_str(), 0, nullptr))
        << "no rewrap to decode: the decoder's result on the elementary stream stands";
    EXPECT_TRUE(callsOf(fakes, "vostrin").empty());

    log.captured.pieces.clear();
    EXPECT_EQ(MTSExtract2(wide(input).c_str(), wide(output).c_str(), nullptr, 0, 0), ZUK_E_EXTRACT);
    EXPECT_EQ(chainLines(log), (Lines{kQtax, kDsax, kMfax, kGiveUp}));
    ASSERT_FALSE(callsOf(fakes, "vostrin").empty());
    EXPECT_EQ(
        callsOf(fakes, "vostrin").front(), "vostrin\tmfax_ExtractAudio\t" + output + ".mp2\t" + output + ".mp2temp1");
}

TEST_F(MtsExtractTest, SecondEntryAnswersZeroForAnySuccess)
{
    FakeSiblings none{};
    const std::string input = copied("bdav-ac3.m2ts", "take.m2ts");
    EXPECT_EQ(MTSExtract2(wide(input).c_str(), wide(output).c_str(), nullptr, 1, 1), ZUK_OK);
    EXPECT_EQ(chainLines(log), (Lines{kQtax, kNoQtax, kDsax, kSuccess}));
    EXPECT_EQ(readShorts(output).frames(), 96768) << "2.016 s of AC-3 frames";
}

TEST_F(MtsExtractTest, FailuresOfTheDemultiplexerReachTheCaller)
{
    FakeSiblings none{};
    const std::string missing = dir.file("missing.m2t");
    EXPECT_EQ(MTSExtract(wide(missing).c_str(), wide(output).c_str(), nullptr, 0, 0), ZUK_E_EXTRACT);
    EXPECT_EQ(extract(missing), ZUK_E_EXTRACT);
    EXPECT_TRUE(chainLines(log).empty()) << "no back end is tried";
    EXPECT_EQ(MTSExtract2(wide(missing).c_str(), wide(output).c_str(), nullptr, 0, 0), ZUK_E_OPEN);
    EXPECT_EQ(chainLines(log), (Lines{kFailed}));

    const std::string input = copied("ts-mp2.m2t", "take.m2t");
    output = dir.file("missing/take.wav");
    EXPECT_EQ(extract(input), ZUK_E_PES_FILE);
    EXPECT_EQ(MTSExtract(wide(input).c_str(), nullptr, nullptr, 0, 0), ZUK_E_PES_FILE);
    EXPECT_EQ(MTSExtract(nullptr, wide(output).c_str(), nullptr, 0, 0), ZUK_E_EXTRACT);
    {
        FileSizeLimit limit(10000);
        output = dir.file("take.wav");
        EXPECT_EQ(extract(input), ZUK_E_WRITE);
    }
    EXPECT_EQ(extract(dir.file("noaudio.mts")), ZUK_E_EXTRACT);

    // A stream with no audio the searches recognise fails before the PES
    // stage, which would otherwise read the program association table.
    writeBytes(dir.file("video.m2t"), payloadPacket(0x100, true, Bytes{0, 0, 1, 0xE0, 0, 0, 0x80, 0, 0}));
    EXPECT_EQ(extract(dir.file("video.m2t")), ZUK_E_OPEN);
    EXPECT_EQ(log.joined().find("MTSPACKET: Error, parsing PES packets\n"), std::string::npos);
}
