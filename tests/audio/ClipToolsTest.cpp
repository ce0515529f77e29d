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

// Every sample of the file as libsndfile's ints (left-aligned in 32 bits).
std::vector<int> readInts(const std::string& path)
{
    SF_INFO info{};
    const zuk::SoundFilePtr file(sf_open(path.c_str(), SFM_READ, &info));
    std::vector<int> samples(static_cast<size_t>(info.frames * info.channels));
    sf_read_int(file.get(), samples.data(), static_cast<sf_count_t>(samples.size()));
    return samples;
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
    int32_t slice(double start, double end)
    {
        return sliceAudio(wide(input).c_str(), wide(output).c_str(), start, end, 0);
    }
    int32_t slicePadded(double lead, double start, double end, double total)
    {
        return sliceAudioWithPadding(wide(input).c_str(), lead, wide(output).c_str(), start, end, total, 0);
    }
};

} // namespace

// Cuts of the ten seconds, with and without padding: the frames of the
// range, silence where the range leaves the input, leads and totals of silence.
TEST_F(TenSeconds, SlicesHoldTheRangeAndSilenceAroundIt)
{
    const struct {
        double lead, start, end, total; // lead < 0: sliceAudio without padding
        int32_t result;
        std::vector<std::pair<int64_t, int64_t>> pieces; // first frame (-1: silence) and count
    } cuts[] = {
        {-1, 1.0, 3.0, 0, 0, {{48000, 96000}}},
        {-1, 9.0, 12.0, 0, 0, {{432000, 48000}, {-1, 96000}}}, // past the end
        {0.5, 0.0, 1.0, 2.0, 0, {{-1, 24000}, {0, 48000}, {-1, 24000}}},
        {0.5, 2.0, 4.0, 1.0, 0, {{-1, 24000}, {96000, 96000}}}, // padding never cuts
        {0.25, 11.0, 12.0, 2.0, -1, {{-1, 12000}}},             // a start beyond the end leaves only the lead
        {-1, 3.0, 1.0, 0, 0, {}},                               // an end before the start: nothing
        {-1, -1.0, 1.0, 0, -1, {}},
        {-1, kNaN, 1.0, 0, -1, {}},
        {-1, 0.0, kNaN, 0, -1, {}},
        {kNaN, 0.0, 1.0, 1.0, -1, {}},
        {0.0, 0.0, 1.0, INFINITY, -1, {}},
    };
    for (const auto& cut : cuts) {
        SCOPED_TRACE(&cut - cuts);
        std::filesystem::remove(output);
        EXPECT_EQ(cut.lead < 0 ? slice(cut.start, cut.end) : slicePadded(cut.lead, cut.start, cut.end, cut.total),
            cut.result);
        if (cut.result != 0 && cut.pieces.empty())
            continue;
        std::vector<int16_t> expected;
        for (const auto& [from, frames] : cut.pieces) {
            const auto first = source.samples.begin() + 2 * std::max<int64_t>(from, 0);
            expected.insert(expected.end(), first, first + 2 * frames);
            if (from < 0)
                std::fill(expected.end() - 2 * frames, expected.end(), 0);
        }
        const Sound written = readShorts(output);
        EXPECT_EQ(written.info.format, source.info.format);
        EXPECT_TRUE(written.samples == expected);
    }
}

// Inputs that are no sound, outputs that cannot be made, writes that fail as
// on a full disk: -1, and nothing left open.
TEST_F(TenSeconds, WhatCannotBeReadOrWrittenIsAFailure)
{
    std::ofstream(dir.file("text.wav")) << "not a sound file";
    const int before = openDescriptorCount();
    for (const auto& [in, out] : {std::pair{dir.file("missing.wav"), output}, {dir.file("text.wav"), output},
             {input, dir.file("no/out.wav")}, {std::string(), output}, {input, std::string()}}) {
        const std::u16string from = wide(in), to = wide(out);
        EXPECT_EQ(sliceAudio(in.empty() ? nullptr : from.c_str(), out.empty() ? nullptr : to.c_str(), 0, 1, 0), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(output));
    EXPECT_EQ(openDescriptorCount(), before);
    // Room for the header and a little audio only.
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

// What only a direct caller reaches (slices cover the ranges copied): times
// that are no frame position, silence of no length or nowhere, a short write (-3).
TEST(CopyAudio, RoundsSecondsToFramesAndReportsShortWrites)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 10, 1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    SF_INFO info{}, outInfo{0, 10, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0, 0};
    const zuk::SoundFilePtr in(sf_open(dir.file("in.wav").c_str(), SFM_READ, &info));
    const zuk::SoundFilePtr out(sf_open(dir.file("out.wav").c_str(), SFM_WRITE, &outInfo));
    // Seconds: 1.9 frames start at frame 1; 5.5 frames end before frame 6.
    EXPECT_EQ(Helper_CopyAudioSec(in.get(), out.get(), 0.19, 0.55, info), 5);
    EXPECT_EQ(Helper_CopyAudioSec(in.get(), out.get(), 0.0, 1e300, info), -1);
    EXPECT_EQ(zuk::writeSilence(out.get(), -5, info), 0);
    EXPECT_EQ(zuk::writeSilence(nullptr, 1, info), -1);
    const FileSizeLimit limit(std::filesystem::file_size(dir.file("out.wav")) + 6);
    EXPECT_EQ(Helper_CopyAudio(in.get(), out.get(), 0, 10, info), -3);
}

TEST(FixFrameRate, SnapsToWholeAndThousandOneRates)
{
    constexpr double kNtsc = 0.999000999000999;
    for (const auto& [rate, snapped] : {std::pair{29.97, 30 * kNtsc}, {30000.0 / 1001, 30 * kNtsc},
             {23.976, 24 * kNtsc}, {25.0, 25.0}, {24.4, 24.0}, {59.94, 60 * kNtsc}})
        EXPECT_EQ(FixFrameRate(rate), snapped) << rate;
    EXPECT_TRUE(std::isnan(FixFrameRate(kNaN)));
}
