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

} // namespace

// A second of a 440 Hz tone, in and out of each rate and channel count: as
// long, as high, as loud, and the same on both output channels.
TEST(AudioConverter, KeepsDurationPitchAndLevelAcrossRatesAndChannels)
{
    const struct {
        int from, inChannels, to, outChannels;
    } cases[] = {{44100, 1, 48000, 1}, {48000, 1, 8000, 1}, {8000, 1, 192000, 1}, {96000, 1, 44100, 1},
        {48000, 2, 48000, 1}, {48000, 6, 48000, 2}, {48000, 8, 48000, 1}, {48000, 1, 48000, 2}, {22050, 3, 32000, 2},
        {48000, 4, 48000, 2}, {48000, 5, 48000, 1}, {48000, 7, 48000, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << "x" << c.inChannels << " to " << c.to << "x" << c.outChannels);
        AudioConverter converter(c.from, c.inChannels, c.to, c.outChannels);
        const auto out = convertAll(converter, tone(c.from, c.inChannels, c.from, 440));
        EXPECT_NEAR(static_cast<double>(out.size()) / c.outChannels, c.to, 2);
        int crossings = 0, peak = 0;
        for (size_t i = 0; i < out.size(); i += static_cast<size_t>(c.outChannels)) {
            crossings += i > 0 && (out[i - static_cast<size_t>(c.outChannels)] < 0) != (out[i] < 0);
            peak = std::max(peak, std::abs(int{out[i]}));
            if (c.outChannels == 2)
                ASSERT_NEAR(out[i], out[i + 1], 1) << "frame " << i / 2;
        }
        EXPECT_NEAR(crossings, 880, 4);
        EXPECT_GT(peak, 3000);
    }
    const auto in = testSignal(10000, 2, 44100);
    AudioConverter same(44100, 2, 44100, 2);
    EXPECT_TRUE(convertAll(same, in) == in) << "the same rate and channels change nothing";
}

TEST(AudioConverter, RefusesWhatItCannotDo)
{
    EXPECT_THROW(AudioConverter(0, 1, 48000, 1), std::runtime_error);
    EXPECT_THROW(AudioConverter(48000, 0, 48000, 1), std::runtime_error);
    EXPECT_THROW(AudioConverter(48000, 1, -1, 1), std::runtime_error);
    EXPECT_THROW(AudioConverter(48000, 1, 48000, 0), std::runtime_error);
    AudioConverter stereo(48000, 2, 48000, 1);
    std::vector<int16_t> out;
    EXPECT_THROW(stereo.convert(std::vector<int16_t>(3, 0), out), std::invalid_argument);
}
