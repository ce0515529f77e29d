// Decoding audio streams of media files: the samples the ffmpeg command line
// gives, their positions, the stream's own length, and exact seeking.
#include "platform/media/ffmpeg/AudioDecoder.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>

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

// The probe's description of the file's `ordinal`-th audio stream.
zuk::media::AudioStreamInfo audioStream(const std::string& path, int ordinal)
{
    OpenError why = OpenError::None;
    const auto probe = zuk::media::probeMedia(path, why);
    if (!probe)
        throw std::runtime_error("cannot probe " + path);
    for (const auto& stream : probe->streams)
        if (stream.kind == zuk::media::StreamInfo::Kind::Audio && ordinal-- == 0)
            return stream.audio;
    throw std::runtime_error("no such audio stream in " + path);
}

std::unique_ptr<AudioDecoder> openPath(const std::string& path, int ordinal = 0)
{
    OpenError why = OpenError::None;
    auto decoder = AudioDecoder::open(path, audioStream(path, ordinal).index, why);
    if (!decoder)
        throw std::runtime_error("cannot open a decoder for " + path);
    return decoder;
}

std::unique_ptr<AudioDecoder> openFixture(const std::string& name, int ordinal = 0)
{
    return openPath(mediaFixture(name), ordinal);
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

std::vector<Source> everySource()
{
    std::vector<Source> sources = {
        {"mov-aac.mov", 0, false},
        {"mp4-aac.mp4", 0, false},
        {"mkv-vorbis.mkv"},
        {"webm-opus.webm"},
        {"avi-pcm.avi"},
        {"mpeg-ps.mpg", 0, false},
        {"mp3.mp3"},
        {"flac.flac"},
        {"ogg-vorbis.ogg"},
        {"wav-float.wav"},
        {"wav-s24.wav"},
        {"two-audio.mkv", 0},
        {"two-audio.mkv", 1},
        {"truncated.mp4", 0, false},
    };
    for (int n = 1; n <= 8; ++n)
        sources.push_back({"channels-" + std::to_string(n) + ".wav"});
    for (int rate : {8000, 11025, 22050, 32000, 44100, 88200, 96000, 192000})
        sources.push_back({"rate-" + std::to_string(rate) + ".wav"});
    return sources;
}

std::string describe(const Source& source)
{
    return source.name + " a:" + std::to_string(source.ordinal);
}

std::vector<int16_t> framesFrom(const std::vector<int16_t>& samples, int64_t frame, int channels)
{
    const auto start = std::min<size_t>(samples.size(), static_cast<size_t>(frame * channels));
    return {samples.begin() + static_cast<std::ptrdiff_t>(start), samples.end()};
}

void copyPrefix(const std::string& from, const std::string& to, uintmax_t bytes)
{
    std::ifstream in(from, std::ios::binary);
    std::ofstream out(to, std::ios::binary);
    std::copy_n(std::istreambuf_iterator<char>(in), bytes, std::ostreambuf_iterator<char>(out));
}

// Overwrites every `stride`-th stretch of `length` bytes after the first
// kilobyte with a fixed pattern: damage in the middle of the data.
void damage(const std::string& path, uintmax_t stride, uintmax_t length)
{
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    const uintmax_t size = std::filesystem::file_size(path);
    for (uintmax_t at = 1024; at + length < size; at += stride) {
        file.seekp(static_cast<std::streamoff>(at));
        for (uintmax_t i = 0; i < length; ++i)
            file.put(static_cast<char>((at + i * 37) & 0xFF));
    }
}

} // namespace

TEST(AudioDecoder, DecodesWhatTheFfmpegCommandLineDecodesAndSeeksToTheExactFrame)
{
    for (const Source& source : everySource()) {
        SCOPED_TRACE(describe(source));
        auto decoder = openFixture(source.name, source.ordinal);
        EXPECT_EQ(decoder->lengthInFrames(), audioStream(mediaFixture(source.name), source.ordinal).frames);
        const Decoded whole = decodeRest(*decoder);
        EXPECT_EQ(whole.end, AudioDecoder::Status::End);
        EXPECT_EQ(whole.firstFrame, 0);
        EXPECT_TRUE(whole.contiguous);
        const std::vector<int16_t> theirs = ffmpegDecode(mediaFixture(source.name), source.ordinal);
        ASSERT_FALSE(theirs.empty());
        EXPECT_TRUE(whole.samples == theirs) << whole.samples.size() << " samples against " << theirs.size()
                                             << ", correlation " << correlation(whole.samples, theirs);
        const std::vector<int16_t>& all = whole.samples;
        const int channels = decoder->channels();
        const int64_t total = static_cast<int64_t>(all.size()) / channels;
        // Forward and back, near the start and the end, after the end was
        // reached, and short hops forward: all on one decoder.
        for (const int64_t target : {total / 2, int64_t{1}, total - 1000, total / 3 + 7, int64_t{0}, total / 5}) {
            SCOPED_TRACE("seek to " + std::to_string(target));
            ASSERT_TRUE(decoder->seekToFrame(target));
            if (target == total / 3 + 7) { // part-way, then a hop a little further on
                std::vector<int16_t> some;
                int64_t first = 0;
                ASSERT_EQ(decoder->next(some, first), AudioDecoder::Status::Frames);
                const int64_t further = target + (total - target) / 2;
                ASSERT_TRUE(decoder->seekToFrame(further));
                const Decoded rest = decodeRest(*decoder);
                EXPECT_EQ(rest.firstFrame, further);
                EXPECT_EQ(rest.samples.size(), framesFrom(all, further, channels).size());
                continue;
            }
            const Decoded rest = decodeRest(*decoder);
            EXPECT_EQ(rest.end, AudioDecoder::Status::End);
            EXPECT_EQ(rest.firstFrame, target);
            EXPECT_TRUE(rest.contiguous);
            const std::vector<int16_t> expected = framesFrom(all, target, channels);
            if (source.exactAfterSeek) {
                EXPECT_TRUE(rest.samples == expected) << rest.samples.size() << " samples against " << expected.size();
            } else {
                ASSERT_EQ(rest.samples.size(), expected.size());
                EXPECT_GT(correlation(rest.samples, expected), 0.999);
            }
        }
        if (!source.exactAfterSeek)
            continue;
        // Seeks are clamped to the stream: before it, and past its stated length.
        ASSERT_TRUE(decoder->seekToFrame(-5000));
        const Decoded fromStart = decodeRest(*decoder);
        EXPECT_EQ(fromStart.firstFrame, 0);
        EXPECT_TRUE(fromStart.samples == all);
        ASSERT_TRUE(decoder->seekToFrame(decoder->lengthInFrames() + 100000));
        const Decoded past = decodeRest(*decoder);
        EXPECT_EQ(past.end, AudioDecoder::Status::End);
        EXPECT_TRUE(past.samples == framesFrom(all, decoder->lengthInFrames(), channels));
    }
}

TEST(AudioDecoder, RefusesWhatIsNoDecodableAudioStream)
{
    const struct {
        std::string path;
        int stream;
        OpenError why;
    } cases[] = {
        {mediaFixture("mov-aac.mov"), 0, OpenError::NoDecodableStream}, // video
        {mediaFixture("mov-aac.mov"), 2, OpenError::NoDecodableStream},
        {mediaFixture("mov-aac.mov"), -1, OpenError::NoDecodableStream},
        {mediaFixture("video-only.mp4"), 0, OpenError::NoDecodableStream},
        {mediaFixture("garbage.bin"), 0, OpenError::UnknownFormat},
        {mediaFixture("empty.mp4"), 0, OpenError::UnknownFormat},
        {mediaFixture("flac.flac") + ".missing", 0, OpenError::NotFound},
    };
    for (const auto& refused : cases) {
        SCOPED_TRACE(refused.path + " stream " + std::to_string(refused.stream));
        OpenError why = OpenError::None;
        EXPECT_EQ(AudioDecoder::open(refused.path, refused.stream, why), nullptr);
        EXPECT_EQ(why, refused.why);
    }
}

TEST(AudioDecoder, DamagedFilesEndWithoutHarm)
{
    TempDir dir;
    for (const std::string name : {"mov-aac.mov", "mkv-vorbis.mkv", "webm-opus.webm", "avi-pcm.avi", "mpeg-ps.mpg",
             "mp3.mp3", "flac.flac", "ogg-vorbis.ogg", "wav-s24.wav"}) {
        SCOPED_TRACE(name);
        const std::string original = mediaFixture(name);
        const uintmax_t size = std::filesystem::file_size(original);
        const std::string cut = dir.file("cut-" + name);
        copyPrefix(original, cut, size * 2 / 3);
        const std::string spoilt = dir.file("spoilt-" + name);
        std::filesystem::copy_file(original, spoilt);
        damage(spoilt, 997, 40);
        for (const std::string& path : {cut, spoilt}) {
            // An AVI keeps its index at the end: without it the chunks are read in order.
            const bool readsInOrder = path == cut && name == "avi-pcm.avi";
            OpenError why = OpenError::None;
            const auto probe = zuk::media::probeMedia(path, why);
            EXPECT_TRUE(probe || !readsInOrder);
            if (!probe)
                continue; // refusing it is fine; reading it must end
            for (const auto& stream : probe->streams) {
                if (stream.kind != zuk::media::StreamInfo::Kind::Audio || !stream.audio.decodable)
                    continue;
                auto decoder = AudioDecoder::open(path, stream.audio.index, why);
                EXPECT_TRUE(decoder || !readsInOrder);
                if (!decoder)
                    continue;
                const Decoded decoded = decodeRest(*decoder);
                EXPECT_NE(decoded.end, AudioDecoder::Status::Frames);
                if (readsInOrder) {
                    EXPECT_TRUE(decoded.samples == ffmpegDecode(cut));
                }
                decoder->seekToFrame(decoder->lengthInFrames() / 2);
                EXPECT_NE(decodeRest(*decoder).end, AudioDecoder::Status::Frames);
            }
        }
    }
}

TEST(AudioDecoder, LongBlocksComeInPiecesOfTheSizeAsked)
{
    // Matroska keeps PCM blocks as long as they were muxed: 100000 frames here.
    TempDir dir;
    const std::string path = dir.file("long-blocks.mkv");
    commandOutput({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=5",
        "-af", "asetnsamples=n=100000", "-c:a", "pcm_s16le", "-y", path});
    auto decoder = openPath(path);
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
    constexpr size_t kBad = 100;
    for (const int subformat : {SF_FORMAT_FLOAT, SF_FORMAT_DOUBLE}) {
        std::vector<double> samples;
        for (int f = 0; f < 4800; ++f)
            samples.push_back(0.5 * std::sin(2 * M_PI * 440 * f / 48000.0));
        samples[kBad] = 0.0;
        writeDoubles(dir.file("clean.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
        const std::vector<int16_t> clean = decodeRest(*openPath(dir.file("clean.wav"))).samples;
        for (const double bad : {HUGE_VAL, -HUGE_VAL, std::nan("")}) {
            samples[kBad] = bad;
            writeDoubles(dir.file("bad.wav"), 48000, 1, samples, SF_FORMAT_WAV | subformat);
            EXPECT_EQ(decodeRest(*openPath(dir.file("bad.wav"))).samples, clean) << subformat << ", " << bad;
        }
    }
}

TEST(AudioDecoder, SeparateDecodersRunOnSeparateThreads)
{
    const std::vector<Source> sources = {{"mov-aac.mov"}, {"mkv-vorbis.mkv"}, {"mp3.mp3"}, {"flac.flac"}};
    std::vector<std::vector<int16_t>> alone;
    for (const Source& source : sources)
        alone.push_back(decodeRest(*openFixture(source.name)).samples);
    std::vector<std::future<std::vector<int16_t>>> running;
    for (int round = 0; round < 2; ++round)
        for (const Source& source : sources)
            running.push_back(std::async(std::launch::async, [name = source.name] {
                auto decoder = openFixture(name);
                decoder->seekToFrame(1000);
                decoder->seekToFrame(0);
                return decodeRest(*decoder).samples;
            }));
    for (size_t i = 0; i < running.size(); ++i)
        EXPECT_TRUE(running[i].get() == alone[i % sources.size()]) << sources[i % sources.size()].name;
}
