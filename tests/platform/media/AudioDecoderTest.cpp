// Decoding audio streams as the ffmpeg command line does, with exact seeking,
// and converting the rate and channels of interleaved 16-bit audio.
#include "platform/media/ffmpeg/AudioDecoder.h"
#include "platform/media/ffmpeg/AudioConverter.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <tuple>

using zuk::media::AudioConverter;
using zuk::media::AudioDecoder;
using zuk::media::OpenError;
using namespace zuktest;

namespace {

struct Decoded {
    std::vector<int16_t> samples;
    AudioDecoder::Status end = AudioDecoder::Status::Frames;
    int64_t firstFrame = -1; // of the first block
    bool contiguous = true;  // every block starts where the one before ended
};

Decoded decodeRest(AudioDecoder& decoder)
{
    Decoded result;
    int64_t next = -1;
    for (;;) {
        int64_t first = -1;
        const size_t before = result.samples.size();
        result.end = decoder.next(result.samples, first);
        if (result.end != AudioDecoder::Status::Frames)
            return result;
        if (result.firstFrame < 0)
            result.firstFrame = first;
        else if (first != next)
            result.contiguous = false;
        next = first + static_cast<int64_t>(result.samples.size() - before) / decoder.channels();
    }
}

// A decoder of the file's `ordinal`-th audio stream as the probe finds it,
// and the length the probe gives that stream.
std::pair<std::unique_ptr<AudioDecoder>, int64_t> openPath(const std::string& path, int ordinal = 0)
{
    OpenError why = OpenError::None;
    const auto probe = zuk::media::probeMedia(path, why);
    for (const auto& stream : probe ? probe->streams : std::vector<zuk::media::StreamInfo>{})
        if (auto decoder = stream.kind == zuk::media::StreamInfo::Kind::Audio && ordinal-- == 0
                ? AudioDecoder::open(path, stream.audio.index, why)
                : nullptr)
            return {std::move(decoder), stream.audio.frames};
    throw std::runtime_error("cannot open a decoder for " + path);
}

struct Source {
    std::string name;
    int ordinal = 0; // among the file's audio streams
    // A decode after a seek equals the full decode bit for bit. Not so for
    // AAC, whose noise substitution draws on a generator that runs through
    // the whole stream, and MP2, whose synthesis carries a rounding residue
    // from frame to frame: after a seek they are close, not equal.
    bool exactAfterSeek = true;
};

std::vector<int16_t> framesFrom(const std::vector<int16_t>& samples, int64_t frame, int channels)
{
    const auto start = std::min<size_t>(samples.size(), static_cast<size_t>(frame * channels));
    return {samples.begin() + static_cast<std::ptrdiff_t>(start), samples.end()};
}

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

TEST(AudioDecoder, DecodesWhatTheFfmpegCommandLineDecodesAndSeeksToTheExactFrame)
{
    std::vector<Source> sources = {{"mov-aac.mov", 0, false}, {"mp4-aac.mp4", 0, false}, {"mkv-vorbis.mkv"},
        {"webm-opus.webm"}, {"avi-pcm.avi"}, {"mpeg-ps.mpg", 0, false}, {"mp3.mp3"}, {"flac.flac"}, {"ogg-vorbis.ogg"},
        {"wav-float.wav"}, {"wav-s24.wav"}, {"two-audio.mkv", 1}, {"truncated.mp4", 0, false}};
    for (int n = 1; n <= 8; ++n) // each channel layout interleaves its own way
        sources.push_back({"channels-" + std::to_string(n) + ".wav"});
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name + " a:" + std::to_string(source.ordinal));
        const std::string path = mediaFixture(source.name);
        auto [decoder, frames] = openPath(path, source.ordinal);
        EXPECT_EQ(decoder->lengthInFrames(), frames);
        const Decoded whole = decodeRest(*decoder);
        EXPECT_EQ(whole.end, AudioDecoder::Status::End);
        EXPECT_EQ(whole.firstFrame, 0);
        EXPECT_TRUE(whole.contiguous);
        const std::vector<int16_t> theirs = ffmpegDecode(path, source.ordinal);
        ASSERT_FALSE(theirs.empty());
        EXPECT_TRUE(whole.samples == theirs) << whole.samples.size() << " samples against " << theirs.size()
                                             << ", correlation " << correlation(whole.samples, theirs);
        const std::vector<int16_t>& all = whole.samples;
        const int channels = decoder->channels();
        const int64_t total = static_cast<int64_t>(all.size()) / channels;
        int64_t first = 0;
        // Back from the end, then forward a little (decoding on) or far (positioning),
        // with a block and a frame read between, which set the decoder decoding ahead.
        for (const int64_t target : {total / 2, int64_t{1}, total - 1000, int64_t{0}}) {
            SCOPED_TRACE("seek to " + std::to_string(target));
            ASSERT_TRUE(decoder->seekToFrame(target / 2));
            std::vector<int16_t> frame;
            ASSERT_EQ(decoder->next(frame, first), AudioDecoder::Status::Frames);
            ASSERT_EQ(decoder->next(frame, first, 1), AudioDecoder::Status::Frames);
            ASSERT_TRUE(decoder->seekToFrame(target));
            const Decoded rest = decodeRest(*decoder);
            const std::vector<int16_t> expected = framesFrom(all, target, channels);
            EXPECT_EQ(rest.end, AudioDecoder::Status::End);
            EXPECT_EQ(rest.firstFrame, target);
            EXPECT_TRUE(rest.contiguous);
            if (source.exactAfterSeek) {
                EXPECT_TRUE(rest.samples == expected) << rest.samples.size() << " samples against " << expected.size();
            } else {
                ASSERT_EQ(rest.samples.size(), expected.size());
                EXPECT_GT(correlation(rest.samples, expected), 0.999);
            }
        }
    }
}

TEST(AudioDecoder, RefusesWhatIsNoDecodableAudioStream)
{
    const std::tuple<std::string, int, OpenError> cases[] = {
        {mediaFixture("mov-aac.mov"), 0, OpenError::NoDecodableStream}, // video
        {mediaFixture("mov-aac.mov"), 2, OpenError::NoDecodableStream},
        {mediaFixture("mov-aac.mov"), -1, OpenError::NoDecodableStream},
        {mediaFixture("garbage.bin"), 0, OpenError::UnknownFormat},
        {mediaFixture("flac.flac") + ".missing", 0, OpenError::NotFound},
    };
    for (const auto& [path, stream, expected] : cases) {
        OpenError why = OpenError::None;
        EXPECT_EQ(AudioDecoder::open(path, stream, why), nullptr) << path << " stream " << stream;
        EXPECT_EQ(why, expected) << path << " stream " << stream;
    }
}

TEST(AudioDecoder, LongBlocksComeInPiecesOfTheSizeAsked)
{
    // Matroska keeps PCM blocks as long as they were muxed: 100000 frames here.
    TempDir dir;
    const std::string path = dir.file("long-blocks.mkv");
    commandOutput({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=5",
        "-af", "asetnsamples=n=100000", "-c:a", "pcm_s16le", "-y", path});
    auto decoder = openPath(path).first;
    std::vector<int16_t> samples;
    for (int64_t first = 0, expected = 0; decoder->next(samples, first, 4800) == AudioDecoder::Status::Frames;) {
        EXPECT_EQ(first, expected);
        expected = static_cast<int64_t>(samples.size());
        EXPECT_LE(expected - first, 4800);
    }
    EXPECT_EQ(samples, ffmpegDecode(path));
}

TEST(AudioDecoder, FloatingPointSamplesThatAreNotFiniteDecodeAsZero)
{
    TempDir dir;
    std::vector<double> samples(4800, 0.25);
    for (const int subformat : {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        std::vector<int16_t> clean;
        for (const double bad : {0.0, HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            samples[100] = bad;
            writeDoubles(dir.file("bad.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
            const std::vector<int16_t> decoded = decodeRest(*openPath(dir.file("bad.wav")).first).samples;
            if (bad == 0.0)
                clean = decoded;
            EXPECT_EQ(decoded, clean) << subformat << ", " << bad;
        }
    }
}

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
            ASSERT_TRUE(c.outChannels == 1 || std::abs(out[i] - out[i + 1]) <= 1) << "frame " << i / 2;
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
