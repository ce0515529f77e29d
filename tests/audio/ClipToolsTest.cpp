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

// Cuts of the ten seconds, with and without padding: the frames of the
// range, silence where the range leaves the input, leads and totals of silence.
TEST_F(TenSeconds, SlicesHoldTheRangeAndSilenceAroundIt)
{
    struct Piece {
        int64_t from; // -1: silence
        int64_t frames;
    };
    const struct {
        double lead, start, end, total; // lead < 0: sliceAudio without padding
        int32_t result;
        std::vector<Piece> pieces;
    } cuts[] = {
        {-1, 1.0, 3.0, 0, 0, {{48000, 96000}}},
        {-1, 9.0, 12.0, 0, 0, {{432000, 48000}, {-1, 96000}}}, // past the end
        {0.5, 0.0, 1.0, 2.0, 0, {{-1, 24000}, {0, 48000}, {-1, 24000}}},
        {0.5, 2.0, 4.0, 1.0, 0, {{-1, 24000}, {96000, 96000}}}, // padding never cuts
        {0.25, 11.0, 12.0, 2.0, -1, {{-1, 12000}}},             // a start beyond the end leaves only the lead
        {-1, kNaN, 1.0, 0, -1, {}},
        {-1, 0.0, kNaN, 0, -1, {}},
        {kNaN, 0.0, 1.0, 1.0, -1, {}},
        {0.0, 0.0, 1.0, INFINITY, -1, {}},
    };
    for (const auto& cut : cuts) {
        const std::string what = std::to_string(cut.lead) + " " + std::to_string(cut.start) + " " +
            std::to_string(cut.end) + " " + std::to_string(cut.total);
        std::filesystem::remove(output);
        EXPECT_EQ(
            cut.lead < 0 ? slice(cut.start, cut.end) : slicePadded(cut.lead, cut.start, cut.end, cut.total), cut.result)
            << what;
        if (cut.pieces.empty())
            continue;
        std::vector<int16_t> expected;
        for (const Piece& piece : cut.pieces) {
            const auto part = piece.from < 0 ? silence(piece.frames, 2) : framesOf(source, piece.from, piece.frames);
            expected.insert(expected.end(), part.begin(), part.end());
        }
        const Sound written = readShorts(output);
        EXPECT_EQ(written.info.format, source.info.format) << what;
        EXPECT_TRUE(written.samples == expected) << what;
    }
}

TEST_F(TenSeconds, FailedWritesAreFailures)
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

TEST(CopyAudio, CopiesTheRangeFromAnyReadPositionUpToTheEnd)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    std::vector<short> skip(7);
    ASSERT_EQ(sf_readf_short(pair.in.get(), skip.data(), 7), 7); // read from: still copies what is asked
    EXPECT_EQ(pair.copy(2, 4), 2);
    EXPECT_EQ(pair.copy(8, std::numeric_limits<int64_t>::max()), 2);
    EXPECT_EQ(pair.copy(10, 11), 0);
    EXPECT_EQ(pair.copy(11, 12), -1);
    EXPECT_EQ(pair.copy(-1, 10), -1);
    EXPECT_EQ(pair.copy(5, 4), 0);
    // Seconds: 1.9 frames start at frame 1; 5.5 frames end before frame 6.
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), 0.19, 0.55, pair.inInfo), 5);
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), kNaN, 0.5, pair.inInfo), -1);
    EXPECT_EQ(Helper_CopyAudioSec(pair.in.get(), pair.out.get(), 0.0, 1e300, pair.inInfo), -1);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 0, pair.inInfo), 0);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), -5, pair.inInfo), 0);
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 3, pair.inInfo), 3);
    pair.close();
    EXPECT_EQ(readShorts(dir.file("out.wav")).samples, (std::vector<int16_t>{2, 3, 8, 9, 1, 2, 3, 4, 5, 0, 0, 0}));
}

TEST(CopyAudio, RefusesHandlesAndLayoutsItCannotUseAndShortWrites)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 48000, 2, testSignal(100000, 2, 48000));
    HandlePair pair(dir.file("in.wav"), dir.file("out.wav"));
    SF_INFO info = pair.inInfo;
    EXPECT_EQ(Helper_CopyAudio(nullptr, pair.out.get(), 0, 10, info), -1);
    EXPECT_EQ(Helper_CopyAudio(pair.in.get(), nullptr, 0, 10, info), -1);
    for (const int channels : {0, 4096}) {
        info.channels = channels;
        EXPECT_EQ(Helper_CopyAudio(pair.in.get(), pair.out.get(), 0, 10, info), -1);
    }
    EXPECT_EQ(zuk::writeSilence(pair.out.get(), 10, info), -1);
    const FileSizeLimit limit(64 * 1024);
    EXPECT_EQ(pair.copy(0, 100000), -3);
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
