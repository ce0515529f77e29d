// Dsax_Extraction and Dsax_ExtractionStereo on real media: lengths padded to
// whole video frames, every result code and its log, COM and handles left as
// they were.
#include "platform/com/Com.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

using namespace zuktest;

namespace {

struct DsaxExtraction : ::testing::Test {
    TempDir dir;

    int32_t extract(const std::string& input, const std::string& output, uint8_t managed = 0)
    {
        return Dsax_Extraction(wide(input).c_str(), wide(output).c_str(), managed, nullptr);
    }
};

bool allZero(std::vector<int16_t>::const_iterator from, std::vector<int16_t>::const_iterator to)
{
    return std::all_of(from, to, [](int16_t value) { return value == 0; });
}

} // namespace

// Each file's sound, at 48000 Hz, lasts exactly its stream's duration and is
// then padded with silence up to the end of the video frame it ends in.
struct PaddedLength {
    const char* fixture;
    int64_t soundFrames;
    int64_t paddedFrames;
};

void PrintTo(const PaddedLength& length, std::ostream* out)
{
    *out << length.fixture;
}

class PaddedToVideoFrames : public DsaxExtraction, public ::testing::WithParamInterface<PaddedLength> {};

TEST_P(PaddedToVideoFrames, HoldsTheSoundThenSilenceToTheFrameEnd)
{
    const PaddedLength expected = GetParam();
    const std::string input = mediaFixture(expected.fixture);
    const std::string output = dir.file("out.wav");
    EXPECT_EQ(extract(input, output), ZUK_OK);

    const Sound written = readShorts(output);
    EXPECT_EQ(written.info.samplerate, 48000);
    EXPECT_EQ(written.info.channels, 1);
    EXPECT_EQ(written.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(written.frames(), expected.paddedFrames);
    EXPECT_TRUE(allZero(written.samples.begin() + expected.soundFrames, written.samples.end()));
    const auto reference = ffmpegDecodeAt(input, 48000, 1);
    ASSERT_GE(reference.size(), static_cast<size_t>(expected.soundFrames));
    EXPECT_GT(correlation(std::vector<int16_t>(written.samples.begin(), written.samples.begin() + expected.soundFrames),
                          std::vector<int16_t>(reference.begin(), reference.begin() + expected.soundFrames)),
              0.99);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, PaddedToVideoFrames,
    ::testing::Values(
        // 10.0625 s at 24 fps: 241.5 frames, so 242 frames, 10.08333 s.
        PaddedLength{"avi-24fps.avi", 483000, 484000},
        // 2 s at 30000/1001 fps: 59.94 frames, so 60 frames, 2.002 s.
        PaddedLength{"mov-ntsc-pcm.mov", 96000, 96096},
        // 2.3 s at 25 fps: 57.5 frames, so 58 frames, 2.32 s. In doubles both
        // 48000 x 2.3 and 48000 x 2.32 fall a hair short of whole frames.
        PaddedLength{"avi-pcm.avi", 110400, 111360}),
    [](const auto& param) {
        std::string name = param.param.fixture;
        std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
        return name;
    });

TEST_F(DsaxExtraction, StereoKeepsTheFirstTwoChannels)
{
    const std::string input = mediaFixture("avi-pcm.avi");
    const std::string output = dir.file("stereo.wav");
    EXPECT_EQ(Dsax_ExtractionStereo(wide(input).c_str(), wide(output).c_str(), 0, nullptr), ZUK_OK);
    const Sound written = readShorts(output);
    EXPECT_EQ(written.info.channels, 2);
    ASSERT_EQ(written.frames(), 111360);
    const auto reference = ffmpegDecode(input); // already 48000 Hz stereo
    ASSERT_EQ(reference.size(), 2u * 110400);
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), written.samples.begin()));
    EXPECT_TRUE(allZero(written.samples.begin() + 2 * 110400, written.samples.end()));
}

TEST_F(DsaxExtraction, SoundWithoutVideoIsWrittenUnpadded)
{
    CapturingSink log;
    const std::string output = dir.file("out.wav");
    EXPECT_EQ(extract(mediaFixture("flac.flac"), output), ZUK_OK_UNPADDED);
    EXPECT_EQ(readShorts(output).frames(), 144000);
    EXPECT_NE(log.joined().find("ZUK_dsax: Could not get Framerate\n"), std::string::npos);
}

TEST_F(DsaxExtraction, ResultCodesForWhatCannotBeDone)
{
    CapturingSink log;
    const int comBefore = comInitializationCount();
    const int descriptorsBefore = openDescriptorCount();

    EXPECT_EQ(extract(mediaFixture("garbage.bin"), dir.file("a.wav")), ZUK_E_UNSUPPORTED);
    EXPECT_EQ(extract(dir.file("missing.mov"), dir.file("b.wav")), ZUK_E_UNSUPPORTED);
    EXPECT_EQ(Dsax_Extraction(nullptr, wide(dir.file("c.wav")).c_str(), 0, nullptr), ZUK_E_UNSUPPORTED);

    log.captured.pieces.clear();
    EXPECT_EQ(extract(mediaFixture("avi-pcm.avi"), dir.file("no/such/folder/out.wav")), ZUK_E_WRITE);
    EXPECT_NE(log.joined().find("ZUK_dsax: Could not open output audio file\n "), std::string::npos);

    // A sound stream without a single packet: nothing to write.
    log.captured.pieces.clear();
    EXPECT_EQ(extract(mediaFixture("mkv-empty-audio.mkv"), dir.file("d.wav")), ZUK_E_NO_SAMPLES);
    EXPECT_NE(log.joined().find("ZUK_dsax: No samples written. Implicit fail, possibly due to AC3.\n"),
              std::string::npos);

    EXPECT_EQ(comInitializationCount(), comBefore);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST_F(DsaxExtraction, AWriteThatFailsPartWayIsAWriteFailureWithOrWithoutVideo)
{
    for (const char* fixture : {"avi-24fps.avi", "flac.flac"}) {
        const std::string output = dir.file(std::string(fixture) + ".wav");
        {
            FileSizeLimit limit(100 * 1024);
            EXPECT_EQ(extract(mediaFixture(fixture), output), ZUK_E_WRITE) << fixture;
        }
        EXPECT_LE(std::filesystem::file_size(output), 100u * 1024);
    }
}

TEST_F(DsaxExtraction, ManagedCallersKeepTheirComAsItWas)
{
    const int before = comInitializationCount();
    EXPECT_EQ(extract(mediaFixture("avi-pcm.avi"), dir.file("managed.wav"), 1), ZUK_OK);
    EXPECT_EQ(comInitializationCount(), before);
    CoInitialize(nullptr);
    EXPECT_EQ(extract(mediaFixture("avi-pcm.avi"), dir.file("native.wav"), 0), ZUK_OK);
    EXPECT_EQ(comInitializationCount(), before + 1);
    CoUninitialize();
    EXPECT_EQ(fileBytes(dir.file("managed.wav")), fileBytes(dir.file("native.wav")));
}

TEST_F(DsaxExtraction, ProgressRisesOncePerBlockToTheEnd)
{
    static std::vector<float> seen;
    seen.clear();
    EXPECT_EQ(Dsax_Extraction(wide(mediaFixture("avi-24fps.avi")).c_str(), wide(dir.file("out.wav")).c_str(), 0,
                              [](float percent) {
                                  seen.push_back(percent);
                                  return 0;
                              }),
              ZUK_OK);
    // 483000 frames: four whole blocks of 102400, then the remainder.
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_NEAR(seen.back(), 409600 * 100.0 / 483000, 0.01);
}

TEST_F(DsaxExtraction, OneToEightChannelsMixToTheTruncatedMeanOfEachFrame)
{
    for (int channels = 1; channels <= 8; ++channels) {
        const std::string input = mediaFixture("channels-" + std::to_string(channels) + ".wav");
        const std::string output = dir.file("mix.wav");
        ASSERT_EQ(extract(input, output), ZUK_OK_UNPADDED) << channels;
        const Sound source = readShorts(input);
        std::vector<int16_t> mean;
        for (int64_t frame = 0; frame < source.frames(); ++frame) {
            int32_t sum = 0;
            for (int channel = 0; channel < channels; ++channel)
                sum += source.samples[static_cast<size_t>(frame * channels + channel)];
            mean.push_back(static_cast<int16_t>(sum / channels));
        }
        EXPECT_EQ(readShorts(output).samples, mean) << channels << " channels";
    }
}

TEST_F(DsaxExtraction, EveryRateAndSampleFormatComesOutAt48k)
{
    std::vector<std::string> inputs{"wav-float.wav", "wav-s24.wav", "ogg-vorbis.ogg", "mp3.mp3"};
    for (const int rate : {8000, 11025, 22050, 32000, 44100, 88200, 96000, 192000})
        inputs.push_back("rate-" + std::to_string(rate) + ".wav");
    for (const std::string& name : inputs) {
        const std::string input = mediaFixture(name);
        const std::string output = dir.file("out.wav");
        ASSERT_EQ(extract(input, output), ZUK_OK_UNPADDED) << name;
        const Sound written = readShorts(output);
        const auto reference = ffmpegDecodeAt(input, 48000, 1);
        const size_t common = std::min(reference.size(), written.samples.size());
        EXPECT_GT(common, 0u) << name;
        EXPECT_GT(correlation(std::vector<int16_t>(written.samples.begin(), written.samples.begin() + common),
                              std::vector<int16_t>(reference.begin(), reference.begin() + common)),
                  0.99)
            << name;
    }
}
