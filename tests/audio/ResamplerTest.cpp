// The resampler against the same conversion computed the plainest way, sample
// for sample and progress call for progress call; what it makes of every kind
// of input and output it may be given; and the reader it reads through.
#include "audio/ForwardAudioFileReader.h"
#include "platform/WorkControl.h"
#include "support/TestFiles.h"

#include <zuk/batch.h>
#include <zuk/zuk.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <tuple>

using namespace zuktest;

namespace {

constexpr int64_t kBlock = ForwardAudioFileReader::kBlockFrames;

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

// Resamples `in` and compares the result with the reference conversion of
// what libsndfile reads of it.
void expectMatchesReference(const std::string& in, const std::string& out, int outRate, int64_t claimedFrames)
{
    const Converted run = resample(in, out, outRate);
    ASSERT_EQ(run.result, 0);
    EXPECT_EQ(std::tuple(run.output.info.format, run.output.info.channels, run.output.info.samplerate),
        std::tuple(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, outRate));
    const Conversion expected = referenceConversion(readShorts(in), outRate, claimedFrames);
    EXPECT_EQ(run.output.samples, expected.samples);
    EXPECT_EQ(progressCalls, expected.progress);
}

} // namespace

class ResamplerMatchesReference : public ::testing::TestWithParam<std::tuple<int, int, int, int>> { };

TEST_P(ResamplerMatchesReference, SampleForSampleAndCallForCall)
{
    const auto [inRate, outRate, channels, format] = GetParam();
    TempDir dir;
    // Long enough to cross several 10240-frame blocks and 20000-frame progress steps.
    const int64_t frames = static_cast<int64_t>(inRate) * 27 / 10 + 7;
    const std::string in = dir.file("in é");
    writeShorts(in, inRate, channels, testSignal(frames, channels, inRate), format);
    expectMatchesReference(in, dir.file("out.wav"), outRate, frames);
    EXPECT_EQ(readShorts(dir.file("out.wav")).frames(), (frames - 1) * outRate / inRate + 1);
}

INSTANTIATE_TEST_SUITE_P(RatesChannelsAndEncodings, ResamplerMatchesReference,
    ::testing::Combine(::testing::Values(48000, 44100, 8000, 96000), ::testing::Values(48000, 44100),
        ::testing::Values(1, 2, 6),
        ::testing::Values(
            SF_FORMAT_WAV | SF_FORMAT_PCM_16, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, SF_FORMAT_WAV | SF_FORMAT_FLOAT)));

// Long enough to be converted in pieces of 64 s on several threads, ending
// 0.1 s after the third: still the reference, and no progress reported twice
// (at 10000 Hz every piece starts on a progress step). Sound files are the
// path Extract takes for them.
TEST(Resampler, InPiecesOnSeveralThreads)
{
    TempDir dir;
    const int64_t frames = 10000 * 1921 / 10;
    writeShorts(dir.file("in.flac"), 10000, 2, testSignal(frames, 2, 10000), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    zuk_set_extract_threads(4);
    expectMatchesReference(dir.file("in.flac"), dir.file("out.wav"), 48000, frames);
    // A stop asked for gives up, in pieces or not.
    const std::atomic<bool> stop{true};
    const zuk::StopScope stopping(&stop);
    EXPECT_EQ(resample(dir.file("in.flac"), dir.file("out.wav"), 48000).result, ZUK_E_WRITE);
    zuk_set_extract_threads(1);
    EXPECT_EQ(resample(dir.file("in.flac"), dir.file("out.wav"), 48000).result, ZUK_E_WRITE);
    zuk_set_extract_threads(0);
}

// A floating-point file is scaled by the peak of its finite samples (the
// reference shows the scaling); one that is not finite reads as 0 and leaves
// the level to the others.
TEST(Resampler, NonFiniteSamplesReadAsSilence)
{
    TempDir dir;
    std::vector<double> samples;
    for (int f = 0; f < 48000; ++f)
        samples.push_back(f == 1000 ? 0.0 : 0.9 * std::sin(2 * M_PI * 440 * f / 48000.0));
    for (const int subformat : {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        writeDoubles(dir.file("in.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
        const std::vector<int16_t> clean = readShorts(dir.file("in.wav")).samples;
        for (const double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            std::vector<double> spoilt = samples;
            spoilt[1000] = bad;
            writeDoubles(dir.file("in.wav"), 48000, 1, spoilt, SF_FORMAT_WAV | subformat);
            EXPECT_EQ(resample(dir.file("in.wav"), dir.file("out.wav"), 48000).output.samples, clean) << bad;
        }
    }
}

// Inputs that are no sound, locations that name no file, rates that are not
// positive, outputs that cannot be made: -1, nothing written, nothing left
// open. Writes that fail: -7. Inputs shorter than their header, the wrappers,
// an empty input.
TEST(Resampler, OutcomesAtTheEdges)
{
    TempDir dir;
    writeShorts(dir.file("in.wav"), 8000, 1, testSignal(800, 1, 8000));
    std::ofstream(dir.file("text.wav")) << "RIFF but not really a wave file";
    std::filesystem::create_directory(dir.file("folder.wav"));
    const std::u16string in = wide(dir.file("in.wav"));
    const std::u16string out = wide(dir.file("out.wav"));
    const int before = openDescriptorCount();
    for (const char* name : {"text.wav", "folder.wav", "missing.wav"})
        EXPECT_EQ(resampleAudioWithRate(wide(dir.file(name)).c_str(), out.c_str(), nullptr, 48000), -1) << name;
    EXPECT_EQ(resampleAudioWithRate(nullptr, out.c_str(), nullptr, 48000), -1);
    EXPECT_EQ(resampleAudioWithRate(in.c_str(), nullptr, nullptr, 48000), -1);
    for (const std::u16string& output : {std::u16string(), wide(dir.file("out")) + u'\xD800' + u".wav",
             wide("/proc/zuk-out.wav"), wide(dir.file("missing/out.wav")), wide(dir.file("in.wav/out.wav"))})
        EXPECT_EQ(resampleAudioWithRate(in.c_str(), output.c_str(), nullptr, 48000), -1);
    for (const int rate : {0, -1, -48000})
        EXPECT_EQ(resampleAudioWithRate(in.c_str(), out.c_str(), nullptr, rate), -1) << rate;
    for (const float rate : {0.9f, NAN, 3e9f})
        EXPECT_EQ(ConvertToWav(in.c_str(), out.c_str(), rate), -1) << rate;
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.wav")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3) << "nothing written beside";

    // A write that fails, as on a full disk, is -7 and keeps what was written.
    const std::vector<int16_t> samples = testSignal(200000, 1, 48000);
    writeShorts(dir.file("long.wav"), 48000, 1, samples);
    {
        const FileSizeLimit limit(100 * 1024);
        EXPECT_EQ(resample(dir.file("long.wav"), dir.file("out.wav"), 48000).result, -7);
    }
    EXPECT_EQ(openDescriptorCount(), before);
    const Sound kept = readShorts(dir.file("out.wav"));
    ASSERT_GT(kept.frames(), 20000);
    ASSERT_LT(kept.frames(), 200000);
    EXPECT_TRUE(std::equal(kept.samples.begin(), kept.samples.end(), samples.begin()));

    // A FLAC stream cut short keeps the full frame count in its header: the
    // conversion ends with the last frame read.
    const int64_t claimed = 100000;
    writeShorts(dir.file("cut.flac"), 44100, 2, testSignal(claimed, 2, 44100), SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    std::filesystem::resize_file(dir.file("cut.flac"), std::filesystem::file_size(dir.file("cut.flac")) * 6 / 10);
    ASSERT_LT(readShorts(dir.file("cut.flac")).frames(), claimed);
    expectMatchesReference(dir.file("cut.flac"), dir.file("out.wav"), 48000, claimed);

    // resampleAudio makes 48000 Hz, ConvertToWav cuts its rate to whole hertz,
    // and an empty input is an empty WAV.
    progressCalls.clear();
    ASSERT_EQ(resampleAudio(in.c_str(), out.c_str(), recordProgress), 0);
    EXPECT_EQ(readShorts(dir.file("out.wav")).info.samplerate, 48000);
    EXPECT_FALSE(progressCalls.empty());
    ASSERT_EQ(ConvertToWav(in.c_str(), out.c_str(), 44100.9f), 0);
    EXPECT_EQ(readShorts(dir.file("out.wav")).info.samplerate, 44100);
    writeShorts(dir.file("empty.wav"), 44100, 2, {});
    const Converted empty = resample(dir.file("empty.wav"), dir.file("out.wav"), 48000);
    ASSERT_EQ(empty.result, 0);
    EXPECT_TRUE(empty.output.info.samplerate == 48000 && empty.output.samples.empty() && progressCalls.empty());
}

// A reader walks three blocks and ten frames: steps of 1 (the pair moves on), 0
// (reused) and jumps across block edges; past the data, also in the short last
// block, silence and 1; never back to an earlier block but by a skip; nothing
// once closed.
TEST(ForwardAudioFileReader, HandsOutPairsForwardsOnly)
{
    TempDir dir;
    const int64_t frames = 3 * kBlock + 10;
    const std::vector<int16_t> samples = testSignal(frames, 2, 48000);
    writeShorts(dir.file("in.wav"), 48000, 2, samples);
    ForwardAudioFileReader reader;
    ASSERT_EQ(reader.openFile(wide(dir.file("in.wav")).c_str()), 0);
    const auto frame = [&](int64_t index) {
        const auto first = samples.begin() + 2 * std::clamp<int64_t>(index, 0, frames - 1);
        return index < 0 || index >= frames ? std::vector<int16_t>(2, 0) : std::vector<int16_t>(first, first + 2);
    };
    const std::pair<int64_t, int> steps[] = {{0, 0}, {1, 0}, {1, 0}, {2, 0}, {500, 0}, {kBlock - 1, 0}, {kBlock, 0},
        {kBlock, 0}, {kBlock + 1, 0}, {2 * kBlock + 7, 0}, {frames - 1, 0}, {frames, 1}, {4 * kBlock + 3, 1},
        {4 * kBlock + 3, 1}, {2 * kBlock + 5, -2}, {0, -2}};
    std::vector<int16_t> a(2), b(2);
    for (const auto& [index, result] : steps) {
        a = b = {5, 5};
        EXPECT_EQ(reader.readFramePair(index, index - 1, a, b), result) << index;
        EXPECT_EQ(a, result == 0 ? frame(index) : frame(-1)) << index;
        EXPECT_EQ(b, result == 0 ? frame(index - 1) : b) << index;
    }
    // A skip goes back as well as on, and frames read from there as ever: at
    // a block's start, the last frame of the block before too.
    const auto mono = [&](int64_t index) { return static_cast<int16_t>((frame(index)[0] + frame(index)[1]) / 2); };
    for (const int64_t to : {3 * kBlock, kBlock + 3, 2 * kBlock, int64_t{1}}) {
        int16_t at = 5, before = 5;
        ASSERT_TRUE(reader.skipTo(to - 1));
        EXPECT_EQ(reader.readMonoPair(to, to - 1, &at, &before), 0) << to;
        EXPECT_EQ(std::pair(at, before), std::pair(mono(to), mono(to - 1))) << to;
    }
    EXPECT_EQ(reader.closeFile(), 0);
    EXPECT_EQ(reader.readFramePair(5, 4, a, b), 1);
}
