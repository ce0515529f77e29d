// The resampler against the same conversion computed the plainest way, sample
// for sample and progress call for progress call.
#include "support/TestFiles.h"

#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

using namespace zuktest;

namespace {

struct Conversion {
    std::vector<int16_t> samples;
    std::vector<float> progress;
};

// The whole input folded to mono, then every output sample from the two mono
// values around its position; `claimedFrames` is what the header said.
Conversion referenceConversion(const Sound& input, int outRate, int64_t claimedFrames)
{
    const int channels = input.info.channels;
    const int64_t frames = input.frames();
    std::vector<int16_t> mono(static_cast<size_t>(frames));
    for (int64_t f = 0; f < frames; ++f) {
        double sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += input.samples[f * channels + c];
        mono[f] = static_cast<int16_t>(static_cast<int32_t>(sum / channels));
    }
    const double inRate = input.info.samplerate;
    const double outRateD = outRate;
    Conversion out;
    for (int64_t k = 0;; ++k) {
        const double x = static_cast<double>(k) * (inRate / outRateD);
        const auto pos = static_cast<int64_t>(std::ceil(x));
        const double frac = (pos / inRate - k / outRateD) * inRate;
        if (pos >= frames)
            break;
        const double a = mono[pos];
        const double b = pos > 0 ? mono[pos - 1] : 0.0;
        out.samples.push_back(static_cast<int16_t>(static_cast<int32_t>((1 - frac) * a + frac * b)));
        if (pos % 20000 == 0)
            out.progress.push_back(static_cast<float>(pos * 100.0 / claimedFrames));
    }
    return out;
}

std::vector<float> progressCalls;
int recordProgress(float percent)
{
    progressCalls.push_back(percent);
    return 0;
}

struct Converted {
    int32_t result;
    Sound output;
};

Converted resample(const std::string& in, const std::string& out, int rate)
{
    progressCalls.clear();
    const int32_t result = resampleAudioWithRate(wide(in).c_str(), wide(out).c_str(), recordProgress, rate);
    return {result, result == 0 ? readShorts(out) : Sound{}};
}

void expectMonoWav(const Sound& output, int rate)
{
    EXPECT_EQ(output.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(output.info.channels, 1);
    EXPECT_EQ(output.info.samplerate, rate);
}

} // namespace

class ResamplerMatchesReference : public ::testing::TestWithParam<std::tuple<int, int, int>> { };

TEST_P(ResamplerMatchesReference, SampleForSampleAndCallForCall)
{
    const auto [inRate, outRate, channels] = GetParam();
    TempDir dir;
    // Long enough to cross several 10240-frame blocks and 20000-frame progress steps.
    const int64_t frames = static_cast<int64_t>(inRate) * 27 / 10 + 7;
    writeShorts(dir.file("in.wav"), inRate, channels, testSignal(frames, channels, inRate));
    const Sound input = readShorts(dir.file("in.wav"));

    const Converted run = resample(dir.file("in.wav"), dir.file("out.wav"), outRate);
    ASSERT_EQ(run.result, 0);
    expectMonoWav(run.output, outRate);
    const Conversion expected = referenceConversion(input, outRate, frames);
    EXPECT_EQ(run.output.samples, expected.samples);
    EXPECT_EQ(progressCalls, expected.progress);
    EXPECT_EQ(run.output.frames(), (frames - 1) * outRate / inRate + 1);
}

INSTANTIATE_TEST_SUITE_P(RatesAndChannels, ResamplerMatchesReference,
    ::testing::Combine(
        ::testing::Values(48000, 44100, 8000, 96000), ::testing::Values(48000, 44100), ::testing::Values(1, 2, 6)),
    [](const auto& p) {
        return std::to_string(std::get<0>(p.param)) + "to" + std::to_string(std::get<1>(p.param)) + "_" +
            std::to_string(std::get<2>(p.param)) + "ch";
    });

TEST(Resampler, FoldsChannelsToTheirMean)
{
    TempDir dir;
    const auto mono = testSignal(30000, 1, 48000);
    std::vector<int16_t> doubled;
    for (int16_t s : mono)
        doubled.insert(doubled.end(), {s, s});
    writeShorts(dir.file("mono.wav"), 48000, 1, mono);
    writeShorts(dir.file("stereo.wav"), 48000, 2, doubled);
    writeShorts(dir.file("opposed.wav"), 48000, 2, constantFrames(30000, {1000, -1000}));

    const Converted fromMono = resample(dir.file("mono.wav"), dir.file("a.wav"), 44100);
    const Converted fromStereo = resample(dir.file("stereo.wav"), dir.file("b.wav"), 44100);
    ASSERT_EQ(fromMono.result, 0);
    ASSERT_EQ(fromStereo.result, 0);
    EXPECT_EQ(fromStereo.output.samples, fromMono.output.samples);

    const Converted opposed = resample(dir.file("opposed.wav"), dir.file("c.wav"), 44100);
    ASSERT_EQ(opposed.result, 0);
    EXPECT_EQ(opposed.output.samples, std::vector<int16_t>(opposed.output.samples.size(), 0));
}

// Progress is reported at every input position that is a multiple of 20000
// and serves an output sample: upsampling serves some several times, down-
// sampling jumps some. An empty input reports none, and is an empty WAV.
TEST(Resampler, ProgressFollowsThePositionsRead)
{
    std::vector<float> upsampled{0.0f}; // 0 serves one output sample, 20000 and 40000 six each
    for (const int64_t pos : {20000, 40000})
        upsampled.insert(upsampled.end(), 6, static_cast<float>(pos * 100.0 / 45000));
    const struct {
        int inRate, outRate;
        int64_t frames;
        std::vector<float> progress;
    } runs[] = {
        {8000, 48000, 45000, upsampled},
        {48000, 16000, 100000, {0.0f, 60.0f}}, // positions are multiples of 3: 60000 is met, 20000 is not
        {44100, 48000, 0, {}},
    };
    for (const auto& run : runs) {
        TempDir dir;
        writeShorts(dir.file("in.wav"), run.inRate, 1, testSignal(run.frames, 1, run.inRate));
        const Converted converted = resample(dir.file("in.wav"), dir.file("out.wav"), run.outRate);
        ASSERT_EQ(converted.result, 0) << run.inRate;
        expectMonoWav(converted.output, run.outRate);
        EXPECT_EQ(progressCalls, run.progress) << run.inRate;
    }
}

TEST(Resampler, FloatingPointInputIsScaledByItsFiniteSamples)
{
    // A floating-point file is scaled by its peak: the loudest sample becomes
    // full scale, whatever the level it was stored at. A sample that is not
    // finite reads as 0 and leaves the level to the others.
    TempDir dir;
    constexpr size_t kBad = 1000;
    for (const int subformat : {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        std::vector<double> samples;
        for (int f = 0; f < 48000; ++f)
            samples.push_back(0.9 * std::sin(2 * M_PI * 440 * f / 48000.0));
        samples[kBad] = 0.0;
        writeDoubles(dir.file("clean.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
        const Converted clean = resample(dir.file("clean.wav"), dir.file("clean-out.wav"), 48000);
        ASSERT_EQ(clean.result, 0);
        EXPECT_EQ(clean.output.samples, readShorts(dir.file("clean.wav")).samples); // as libsndfile scales it
        EXPECT_GE(*std::max_element(clean.output.samples.begin(), clean.output.samples.end()), 32000);
        for (const double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            samples[kBad] = bad;
            writeDoubles(dir.file("in.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
            const Converted run = resample(dir.file("in.wav"), dir.file("out.wav"), 48000);
            ASSERT_EQ(run.result, 0);
            EXPECT_EQ(run.output.samples, clean.output.samples) << "subformat " << subformat << ", sample " << bad;
        }
    }
}

TEST(Resampler, WrappersUseTheirRates)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 22050, 2, testSignal(22050, 2, 22050));
    progressCalls.clear();
    ASSERT_EQ(resampleAudio(wide(dir.file("in.wav")).c_str(), wide(dir.file("a.wav")).c_str(), recordProgress), 0);
    EXPECT_EQ(readShorts(dir.file("a.wav")).info.samplerate, 48000);
    EXPECT_EQ(progressCalls.front(), 0.0f);

    ASSERT_EQ(ConvertToWav(wide(dir.file("in.wav")).c_str(), wide(dir.file("b.wav")).c_str(), 44100.9f), 0);
    const Sound converted = readShorts(dir.file("b.wav"));
    expectMonoWav(converted, 44100);
    EXPECT_EQ(converted.frames(), (22050 - 1) * 2 + 1);
}

TEST(Resampler, InputShorterThanItsHeaderEndsWithTheLastFrameRead)
{
    TempDir dir;
    // A FLAC stream cut short keeps the full frame count in its header.
    const int64_t claimed = 100000;
    writeShorts(dir.file("full.flac"), 44100, 2, testSignal(claimed, 2, 44100), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::filesystem::resize_file(dir.file("full.flac"), std::filesystem::file_size(dir.file("full.flac")) * 6 / 10);
    const Sound readable = readShorts(dir.file("full.flac"));
    ASSERT_EQ(readable.info.frames, claimed);
    ASSERT_GT(readable.frames(), 0);
    ASSERT_LT(readable.frames(), claimed);

    const Converted run = resample(dir.file("full.flac"), dir.file("out.wav"), 48000);
    ASSERT_EQ(run.result, 0);
    const Conversion expected = referenceConversion(readable, 48000, claimed);
    EXPECT_EQ(run.output.samples, expected.samples);
    EXPECT_EQ(progressCalls, expected.progress);
}
