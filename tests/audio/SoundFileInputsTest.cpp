// What the resampler makes of every kind of input and output it may be given.
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace zuktest;

namespace {

int32_t resampleFiles(const std::string& in, const std::string& out, int rate = 48000)
{
    return resampleAudioWithRate(wide(in).c_str(), wide(out).c_str(), nullptr, rate);
}

} // namespace

class ChannelsAndRates : public ::testing::TestWithParam<std::tuple<int, int>> {};

TEST_P(ChannelsAndRates, ConvertToMono48k)
{
    const auto [channels, rate] = GetParam();
    TempDir dir;
    const int64_t frames = rate / 4 + 3;
    writeShorts(dir.file("in.wav"), rate, channels, testSignal(frames, channels, rate));
    ASSERT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav")), 0);
    const Sound out = readShorts(dir.file("out.wav"));
    EXPECT_EQ(out.info.channels, 1);
    EXPECT_EQ(out.info.samplerate, 48000);
    EXPECT_EQ(out.frames(), (frames - 1) * 48000 / rate + 1);
}

INSTANTIATE_TEST_SUITE_P(OneToEightChannels, ChannelsAndRates,
                         ::testing::Combine(::testing::Range(1, 9), ::testing::Values(8000, 192000)));
INSTANTIATE_TEST_SUITE_P(CommonRates, ChannelsAndRates,
                         ::testing::Combine(::testing::Values(2),
                                            ::testing::Values(11025, 16000, 22050, 32000, 88200, 176400)));

TEST(SoundFileInputs, EncodingsLibsndfileReads)
{
    TempDir dir;
    const auto signal = testSignal(20000, 2, 44100);
    int index = 0;
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_WAV | SF_FORMAT_PCM_32,
                             SF_FORMAT_WAV | SF_FORMAT_PCM_U8, SF_FORMAT_AIFF | SF_FORMAT_PCM_16,
                             SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_OGG | SF_FORMAT_VORBIS,
                             SF_FORMAT_AU | SF_FORMAT_ULAW}) {
        const std::string in = dir.file("in" + std::to_string(index++));
        writeShorts(in, 44100, 2, signal, format);
        ASSERT_EQ(resampleFiles(in, in + ".out.wav"), 0) << std::hex << format;
        const Sound out = readShorts(in + ".out.wav");
        EXPECT_EQ(out.frames(), (20000 - 1) * 48000LL / 44100 + 1) << std::hex << format;
        int peak = 0;
        for (int16_t s : out.samples)
            peak = std::max(peak, std::abs(int{s}));
        EXPECT_GT(peak, 10000) << "format " << std::hex << format << " lost its level";
    }
}

TEST(SoundFileInputs, TruncatedWavGivesTheFramesItHolds)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 44100, 2, testSignal(44100, 2, 44100));
    std::filesystem::resize_file(dir.file("in.wav"), 44 + 4 * 20000 + 2);
    const Sound held = readShorts(dir.file("in.wav"));
    ASSERT_EQ(held.frames(), 20000);
    ASSERT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav")), 0);
    EXPECT_EQ(readShorts(dir.file("out.wav")).frames(), (20000 - 1) * 48000LL / 44100 + 1);
}

TEST(SoundFileInputs, FilesThatAreNotSoundGiveMinusOneAndNoOutput)
{
    TempDir dir;
    std::ofstream(dir.file("text.wav")) << "RIFF but not really a wave file";
    std::ofstream noise(dir.file("noise.wav"), std::ios::binary);
    std::mt19937 bytes(7);
    for (int i = 0; i < 100000; ++i)
        noise.put(static_cast<char>(bytes()));
    noise.close();
    std::ofstream(dir.file("empty.wav")).close();
    std::filesystem::create_directory(dir.file("folder.wav"));
    for (const char* name : {"text.wav", "noise.wav", "empty.wav", "folder.wav", "missing.wav"}) {
        EXPECT_EQ(resampleFiles(dir.file(name), dir.file("out.wav")), -1) << name;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav"))) << name;
    }
}

TEST(SoundFileInputs, PathsThatNameNoFile)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    const std::u16string in = wide(dir.file("in.wav"));
    const std::u16string out = wide(dir.file("out.wav"));
    std::u16string loneSurrogate = out;
    loneSurrogate.insert(loneSurrogate.size() - 4, 1, u'\xD800');
    EXPECT_EQ(resampleAudioWithRate(nullptr, out.c_str(), nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(in.c_str(), nullptr, nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(u"", out.c_str(), nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(in.c_str(), u"", nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(in.c_str(), loneSurrogate.c_str(), nullptr, 48000), -1);
    // Nothing was written beside the input.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(SoundFileInputs, NonAsciiNamesWork)
{
    TempDir dir;
    const std::string in = dir.file("prise de son – été 中文.wav");
    writeShorts(in, 8000, 1, testSignal(800, 1, 8000));
    ASSERT_EQ(resampleFiles(in, dir.file("sortie é.wav")), 0);
    EXPECT_EQ(readShorts(dir.file("sortie é.wav")).info.samplerate, 48000);
}

TEST(SoundFileInputs, OutputRatesThatAreNotPositive)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    for (const int rate : {0, -1, -48000}) {
        EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav"), rate), -1) << rate;
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    }
    EXPECT_EQ(ConvertToWav(wide(dir.file("in.wav")).c_str(), wide(dir.file("out.wav")).c_str(), 0.9f), -1);
    EXPECT_EQ(ConvertToWav(wide(dir.file("in.wav")).c_str(), wide(dir.file("out.wav")).c_str(), NAN), -1);
    EXPECT_EQ(ConvertToWav(wide(dir.file("in.wav")).c_str(), wide(dir.file("out.wav")).c_str(), 3e9f), -1);
}

TEST(SoundFileInputs, OutputsThatCannotBeCreatedCloseTheInput)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    const int before = openDescriptorCount();
    EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("missing/out.wav")), -1);
    EXPECT_EQ(resampleFiles(dir.file("in.wav"), "/proc/zuk-out.wav"), -1);
    EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("in.wav/out.wav")), -1);
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(SoundFileInputs, FailedWritesGiveMinusSevenAndKeepWhatWasWritten)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 1, testSignal(200000, 1, 48000));
    const int before = openDescriptorCount();
    {
        const FileSizeLimit limit(100 * 1024);
        EXPECT_EQ(resampleFiles(dir.file("in.wav"), dir.file("out.wav")), -7);
    }
    EXPECT_EQ(openDescriptorCount(), before);
    const Sound kept = readShorts(dir.file("out.wav"));
    const Sound input = readShorts(dir.file("in.wav"));
    ASSERT_GT(kept.frames(), 20000);
    ASSERT_LT(kept.frames(), input.frames());
    EXPECT_EQ(kept.samples, std::vector<int16_t>(input.samples.begin(), input.samples.begin() + kept.frames()));
}
