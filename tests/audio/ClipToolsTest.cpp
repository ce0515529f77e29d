// Cutting, padding and copying clips, frame-rate snapping.
#include "audio/ClipTools.h"
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

using namespace zuktest;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<int16_t> framesOf(const Sound& sound, int64_t first, int64_t count)
{
    const auto channels = sound.info.channels;
    return {sound.samples.begin() + first * channels, sound.samples.begin() + (first + count) * channels};
}

// Every sample of the file as libsndfile's ints (left-aligned in 32 bits).
std::vector<int> readInts(const std::string& path)
{
    SF_INFO info{};
    const zuk::SoundFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    std::vector<int> samples(static_cast<size_t>(file ? info.frames * info.channels : 0));
    const sf_count_t read = sf_read_int(file.get(), samples.data(), static_cast<sf_count_t>(samples.size()));
    samples.resize(static_cast<size_t>(std::max<sf_count_t>(read, 0)));
    return samples;
}

std::vector<int16_t> silence(int64_t frames, int channels)
{
    return std::vector<int16_t>(static_cast<size_t>(frames * channels), 0);
}

// A ten-second 48 kHz stereo clip in a temporary folder.
struct TenSeconds : ::testing::Test {
    TempDir dir;
    std::string input = dir.file("in.wav");
    std::string output = dir.file("out.wav");
    Sound source;

    void SetUp() override
    {
        writeShorts(input, 48000, 2, testSignal(480000, 2, 48000));
        source = readShorts(input);
    }
    int32_t slice(double start, double end, int32_t force16 = 0)
    {
        return sliceAudio(wide(input).c_str(), wide(output).c_str(), start, end, force16);
    }
    int32_t slicePadded(double lead, double start, double end, double total)
    {
        return sliceAudioWithPadding(wide(input).c_str(), lead, wide(output).c_str(), start, end, total, 0);
    }
};

// Two open handles, as a host that copies between them holds them.
struct HandlePair {
    zuk::SoundFilePtr in;
    zuk::SoundFilePtr out;
    SF_INFO inInfo{};

    HandlePair(const std::string& input, const std::string& output, int outChannels = 0)
    {
        in.reset(sf_open(input.c_str(), SFM_READ, &inInfo));
        SF_INFO outInfo{};
        outInfo.samplerate = inInfo.samplerate;
        outInfo.channels = outChannels != 0 ? outChannels : inInfo.channels;
        outInfo.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        out.reset(sf_open(output.c_str(), SFM_WRITE, &outInfo));
        if (!in || !out)
            throw std::runtime_error("cannot open the handle pair");
    }
    int64_t copy(int64_t first, int64_t end) { return Helper_CopyAudio(in.get(), out.get(), first, end, inInfo); }
    void close() { in.reset(), out.reset(); }
};

} // namespace

TEST_F(TenSeconds, SliceCopiesTheRange)
{
    ASSERT_EQ(slice(1.0, 3.0), 0);
    const Sound cut = readShorts(output);
    EXPECT_EQ(cut.info.format, source.info.format);
    EXPECT_EQ(cut.info.samplerate, 48000);
    ASSERT_EQ(cut.frames(), 96000);
    EXPECT_EQ(cut.samples, framesOf(source, 48000, 96000));
}

TEST_F(TenSeconds, SlicePastTheEndIsFilledWithSilence)
{
    ASSERT_EQ(slice(9.0, 12.0), 0);
    const Sound cut = readShorts(output);
    ASSERT_EQ(cut.frames(), 144000);
    EXPECT_EQ(framesOf(cut, 0, 48000), framesOf(source, 432000, 48000));
    EXPECT_EQ(framesOf(cut, 48000, 96000), silence(96000, 2));
}

TEST_F(TenSeconds, PaddingPutsSilenceBeforeAndAfter)
{
    ASSERT_EQ(slicePadded(0.5, 0.0, 1.0, 2.0), 0);
    const Sound cut = readShorts(output);
    ASSERT_EQ(cut.frames(), 96000);
    EXPECT_EQ(framesOf(cut, 0, 24000), silence(24000, 2));
    EXPECT_EQ(framesOf(cut, 24000, 48000), framesOf(source, 0, 48000));
    EXPECT_EQ(framesOf(cut, 72000, 24000), silence(24000, 2));
}

TEST_F(TenSeconds, PaddingNeverCuts)
{
    ASSERT_EQ(slicePadded(0.5, 2.0, 4.0, 1.0), 0);
    const Sound cut = readShorts(output);
    ASSERT_EQ(cut.frames(), 24000 + 96000);
    EXPECT_EQ(framesOf(cut, 24000, 96000), framesOf(source, 96000, 96000));
}

TEST_F(TenSeconds, StartBeyondTheEndFailsLeavingOnlyTheLead)
{
    EXPECT_EQ(slicePadded(0.25, 11.0, 12.0, 2.0), -1);
    const Sound cut = readShorts(output);
    EXPECT_EQ(cut.samples, silence(12000, 2));
}

TEST_F(TenSeconds, TimesThatAreNotNumbersFail)
{
    EXPECT_EQ(slice(kNaN, 1.0), -1);
    EXPECT_EQ(slice(0.0, kNaN), -1);
    EXPECT_EQ(slicePadded(kNaN, 0.0, 1.0, 1.0), -1);
    EXPECT_EQ(slicePadded(0.0, 0.0, 1.0, INFINITY), -1);
}

TEST_F(TenSeconds, FailedSilenceWritesAreFailures)
{
    // Room for the header and a little audio only, as on a full disk.
    const FileSizeLimit limit(64 * 1024);
    EXPECT_EQ(slicePadded(5.0, 0.0, 1.0, 7.0), -1); // the lead does not fit
    EXPECT_EQ(slicePadded(0.0, 0.0, 0.1, 9.0), -1); // the padding does not fit
    EXPECT_EQ(slice(0.0, 5.0), -1);                 // the copy does not fit
}

TEST(SliceAudio, KeepsTheInputFormatOrRoundsTo16BitsWhenForced)
{
    TempDir dir;
    std::vector<double> samples{1.0, -1.0}; // full scale, where rounding up must not wrap
    for (int f = 2; f < 4800; ++f)
        samples.push_back(0.9 * std::sin(f / 10.0) * std::cos(f / 997.0));
    for (const int width : {SF_FORMAT_PCM_24, SF_FORMAT_PCM_32}) {
        writeDoubles(dir.file("in.wav"), 48000, 1, samples, SF_FORMAT_WAV | width);
        ASSERT_EQ(sliceAudio(wide(dir.file("in.wav")).c_str(), wide(dir.file("same.wav")).c_str(), 0.0, 0.1, 0), 0);
        ASSERT_EQ(sliceAudio(wide(dir.file("in.wav")).c_str(), wide(dir.file("pcm16.wav")).c_str(), 0.0, 0.1, 1), 0);
        const std::vector<int> source = readInts(dir.file("in.wav"));
        EXPECT_EQ(readShorts(dir.file("same.wav")).info.format, SF_FORMAT_WAV | width);
        EXPECT_EQ(readInts(dir.file("same.wav")), source);

        const Sound forced = readShorts(dir.file("pcm16.wav"));
        EXPECT_EQ(forced.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        std::vector<int16_t> nearest;
        for (const int value : source)
            nearest.push_back(static_cast<int16_t>(std::clamp(std::floor(value / 65536.0 + 0.5), -32768.0, 32767.0)));
        EXPECT_EQ(forced.samples, nearest) << width;
    }
}

TEST(SliceAudio, FilesThatCannotBeOpenedGiveMinusOneAndNoOutput)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(8000, 1, 8000));
    std::ofstream(dir.file("text.wav")) << "not a sound file";
    const int before = openDescriptorCount();
    EXPECT_EQ(sliceAudio(wide(dir.file("missing.wav")).c_str(), wide(dir.file("a.wav")).c_str(), 0, 1, 0), -1);
    EXPECT_EQ(sliceAudio(wide(dir.file("text.wav")).c_str(), wide(dir.file("b.wav")).c_str(), 0, 1, 0), -1);
    EXPECT_EQ(sliceAudio(wide(dir.file("in.wav")).c_str(), wide(dir.file("no/c.wav")).c_str(), 0, 1, 0), -1);
    EXPECT_EQ(sliceAudio(nullptr, wide(dir.file("d.wav")).c_str(), 0, 1, 0), -1);
    EXPECT_EQ(sliceAudio(wide(dir.file("in.wav")).c_str(), nullptr, 0, 1, 0), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.file("a.wav")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.wav")));
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(CopyAudio, CopiesTheRangeFromAnyReadPosition)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 2, testSignal(6000, 2, 48000));
    const Sound source = readShorts(dir.file("in.wav"));

    HandlePair fresh(dir.file("in.wav"), dir.file("a.wav"));
    EXPECT_EQ(fresh.copy(0, 2500), 2500);
    fresh.close();
    EXPECT_EQ(readShorts(dir.file("a.wav")).samples, framesOf(source, 0, 2500));

    // A handle that has been read from still copies from the frame asked for.
    HandlePair used(dir.file("in.wav"), dir.file("b.wav"));
    std::vector<short> skip(2 * 777);
    ASSERT_EQ(sf_readf_short(used.in.get(), skip.data(), 777), 777);
    EXPECT_EQ(used.copy(1000, 3100), 2100);
    used.close();
    EXPECT_EQ(readShorts(dir.file("b.wav")).samples, framesOf(source, 1000, 2100));
}

TEST(CopyAudio, StopsAtTheEndOfTheInput)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 1, testSignal(5000, 1, 48000));
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    EXPECT_EQ(pair.copy(4000, std::numeric_limits<int64_t>::max()), 1000);
    EXPECT_EQ(pair.copy(5000, 6000), 0);
    EXPECT_EQ(pair.copy(5001, 6000), -1);
    EXPECT_EQ(pair.copy(-1, 10), -1);
    EXPECT_EQ(pair.copy(100, 50), 0);
}

TEST(CopyAudio, RefusesHandlesAndLayoutsItCannotUse)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 1, testSignal(100, 1, 48000));
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    SF_INFO info = pair.inInfo;
    EXPECT_EQ(Helper_CopyAudio(nullptr, pair.out.get(), 0, 10, info), -1);
    EXPECT_EQ(Helper_CopyAudio(pair.in.get(), nullptr, 0, 10, info), -1);
    info.channels = 0;
    EXPECT_EQ(Helper_CopyAudio(pair.in.get(), pair.out.get(), 0, 10, info), -1);
    info.channels = 4096;
    EXPECT_EQ(Helper_CopyAudio(pair.in.get(), pair.out.get(), 0, 10, info), -1);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 10, info), -1);
}

TEST(CopyAudio, ShortWritesGiveMinusThree)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 2, testSignal(100000, 2, 48000));
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    const FileSizeLimit limit(64 * 1024);
    EXPECT_EQ(pair.copy(0, 100000), -3);
}

TEST(CopyAudio, SecondsTruncateTheStartAndRoundTheEnd)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    // 1.9 frames start at frame 1; 5.5 frames end before frame 6.
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), 0.19, 0.55, pair.inInfo), 5);
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), kNaN, 0.5, pair.inInfo), -1);
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), 0.0, 1e300, pair.inInfo), -1);
    pair.close();
    EXPECT_EQ(readShorts(dir.file("out.wav")).samples, (std::vector<int16_t>{1, 2, 3, 4, 5}));
}

TEST(WriteSilence, WritesExactlyTheFramesAsked)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 3, {});
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 0, pair.inInfo), 0);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), -5, pair.inInfo), 0);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 2000, pair.inInfo), 2000);
    pair.close();
    EXPECT_EQ(readShorts(dir.file("out.wav")).samples, silence(2000, 3));
}

TEST(FixFrameRate, SnapsToWholeAndThousandOneRates)
{
    EXPECT_DOUBLE_EQ(FixFrameRate(29.97), 30 * 0.999000999000999);
    EXPECT_NEAR(FixFrameRate(29.97), 29.97002997003, 1e-9);
    EXPECT_EQ(FixFrameRate(25.0), 25.0);
    EXPECT_EQ(FixFrameRate(24.4), 24.0);
    EXPECT_NEAR(FixFrameRate(23.976), 23.976023976024, 1e-9);
    EXPECT_NEAR(FixFrameRate(59.94), 59.94005994006, 1e-9);
    EXPECT_NEAR(FixFrameRate(30000.0 / 1001.0), 29.97002997003, 1e-9);
    EXPECT_TRUE(std::isnan(FixFrameRate(kNaN)));
}
