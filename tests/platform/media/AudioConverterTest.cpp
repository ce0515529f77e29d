// Rate and channel conversion of interleaved 16-bit audio.
#include "platform/media/ffmpeg/AudioConverter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using zuk::media::AudioConverter;
using namespace zuktest;

namespace {

std::vector<int16_t> tone(int64_t frames, int channels, int rate, double hertz)
{
    std::vector<int16_t> samples;
    for (int64_t f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            samples.push_back(static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * hertz * f / rate))));
    return samples;
}

std::vector<int16_t> convertAll(AudioConverter& converter, const std::vector<int16_t>& in)
{
    std::vector<int16_t> out;
    converter.convert(in, out);
    while (converter.flush(out)) { }
    return out;
}

double crossingsPerSecond(const std::vector<int16_t>& samples, int channels, int rate)
{
    int crossings = 0;
    for (size_t i = static_cast<size_t>(channels); i < samples.size(); i += static_cast<size_t>(channels))
        crossings += (samples[i - static_cast<size_t>(channels)] < 0) != (samples[i] < 0);
    return crossings * static_cast<double>(rate) / (static_cast<double>(samples.size()) / channels);
}

int peak(const std::vector<int16_t>& samples)
{
    int highest = 0;
    for (int16_t s : samples)
        highest = std::max(highest, std::abs(int{s}));
    return highest;
}

} // namespace

TEST(AudioConverter, NewRateKeepsDurationAndPitchAndTheSameRateChangesNothing)
{
    const struct {
        int from, to;
    } rates[] = {{44100, 48000}, {48000, 8000}, {8000, 192000}, {96000, 44100}, {22050, 32000}};
    for (const auto& rate : rates) {
        SCOPED_TRACE(std::to_string(rate.from) + " to " + std::to_string(rate.to));
        AudioConverter converter(rate.from, 1, rate.to, 1);
        const auto out = convertAll(converter, tone(rate.from, 1, rate.from, 440));
        EXPECT_NEAR(static_cast<double>(out.size()), rate.to, 2);
        EXPECT_NEAR(crossingsPerSecond(out, 1, rate.to), 880, 4);
    }
    const auto in = testSignal(10000, 2, 44100);
    AudioConverter same(44100, 2, 44100, 2);
    EXPECT_TRUE(convertAll(same, in) == in);
}

// Pieces of any size give what one call gives; reset forgets them.
TEST(AudioConverter, PiecesGiveWhatOneCallGivesAndResetForgetsThem)
{
    const auto in = testSignal(30011, 2, 44100);
    AudioConverter whole(44100, 2, 48000, 2);
    const auto expected = convertAll(whole, in);
    AudioConverter pieces(44100, 2, 48000, 2);
    std::vector<int16_t> out;
    pieces.convert(testSignal(5000, 2, 44100, 3), out);
    pieces.reset();
    out.clear();
    size_t at = 0;
    for (size_t piece = 1; at < in.size(); piece = piece * 3 + 1) {
        const size_t frames = std::min(piece, (in.size() - at) / 2);
        pieces.convert(std::span(in).subspan(at, frames * 2), out);
        at += frames * 2;
    }
    while (pieces.flush(out)) { }
    EXPECT_TRUE(out == expected);
}

TEST(AudioConverter, MixesBetweenChannelCounts)
{
    for (int in = 1; in <= 8; ++in) {
        for (int out : {1, 2}) {
            SCOPED_TRACE(std::to_string(in) + " to " + std::to_string(out) + " channels");
            AudioConverter converter(48000, in, 48000, out);
            const auto mixed = convertAll(converter, tone(4800, in, 48000, 500));
            ASSERT_EQ(mixed.size(), 4800u * out);
            EXPECT_GT(peak(mixed), 3000);
            for (size_t i = 0; out == 2 && i < mixed.size(); i += 2)
                ASSERT_NEAR(mixed[i], mixed[i + 1], 1) << "frame " << i / 2;
        }
    }
}

TEST(AudioConverter, RefusesWhatItCannotDo)
{
    const struct {
        int inRate, inChannels, outRate, outChannels;
    } impossible[] = {{0, 1, 48000, 1}, {48000, 0, 48000, 1}, {48000, 1, -1, 1}, {48000, 1, 48000, 0}};
    for (const auto& setup : impossible)
        EXPECT_THROW(
            AudioConverter(setup.inRate, setup.inChannels, setup.outRate, setup.outChannels), std::runtime_error);
    AudioConverter stereo(48000, 2, 48000, 1);
    std::vector<int16_t> out;
    const std::vector<int16_t> oddSamples(3, 0);
    EXPECT_THROW(stereo.convert(oddSamples, out), std::invalid_argument);
}
