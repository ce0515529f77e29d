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

// Container index of the file's `ordinal`-th audio stream.
int audioStreamIndex(const std::string& path, int ordinal)
{
    OpenError why = OpenError::None;
    const auto probe = zuk::media::probeMedia(path, why);
    if (!probe)
        throw std::runtime_error("cannot probe " + path);
    for (const auto& stream : probe->streams)
        if (stream.kind == zuk::media::StreamInfo::Kind::Audio && ordinal-- == 0)
            return stream.audio.index;
    throw std::runtime_error("no such audio stream in " + path);
}

std::unique_ptr<AudioDecoder> openPath(const std::string& path, int ordinal = 0)
{
    OpenError why = OpenError::None;
    auto decoder = AudioDecoder::open(path, audioStreamIndex(path, ordinal), why);
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
        {"mov-aac.mov", 0, false},  {"mp4-aac.mp4", 0, false}, {"mkv-vorbis.mkv"},  {"webm-opus.webm"},
        {"avi-pcm.avi"},            {"mpeg-ps.mpg", 0, false}, {"mp3.mp3"},         {"flac.flac"},
        {"ogg-vorbis.ogg"},         {"wav-float.wav"},         {"wav-s24.wav"},     {"two-audio.mkv", 0},
        {"two-audio.mkv", 1},       {"truncated.mp4", 0, false},
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

// Zero crossings per second of one channel: twice a pure tone's frequency.
double crossingsPerSecond(const std::vector<int16_t>& samples, int channels, int rate)
{
    int crossings = 0;
    for (size_t i = static_cast<size_t>(channels); i < samples.size(); i += static_cast<size_t>(channels))
        crossings += (samples[i - static_cast<size_t>(channels)] < 0) != (samples[i] < 0);
    return crossings * static_cast<double>(rate) / (static_cast<double>(samples.size()) / channels);
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

TEST(AudioDecoder, DecodesWhatTheFfmpegCommandLineDecodes)
{
    for (const Source& source : everySource()) {
        SCOPED_TRACE(describe(source));
        auto decoder = openFixture(source.name, source.ordinal);
        const Decoded ours = decodeRest(*decoder);
        EXPECT_EQ(ours.end, AudioDecoder::Status::End);
        EXPECT_EQ(ours.firstFrame, 0);
        EXPECT_TRUE(ours.contiguous);
        const std::vector<int16_t> theirs = ffmpegDecode(mediaFixture(source.name), source.ordinal);
        ASSERT_FALSE(theirs.empty());
        EXPECT_TRUE(ours.samples == theirs) << ours.samples.size() << " samples against " << theirs.size()
                                            << ", correlation " << correlation(ours.samples, theirs);
    }
}

TEST(AudioDecoder, SeeksToTheExactFrame)
{
    for (const Source& source : everySource()) {
        SCOPED_TRACE(describe(source));
        auto whole = openFixture(source.name, source.ordinal);
        const std::vector<int16_t> all = decodeRest(*whole).samples;
        const int channels = whole->channels();
        const int64_t total = static_cast<int64_t>(all.size()) / channels;
        auto decoder = openFixture(source.name, source.ordinal);
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
    }
}

TEST(AudioDecoder, SeeksAreClampedToTheStream)
{
    for (const std::string name : {"flac.flac", "avi-pcm.avi", "mkv-vorbis.mkv"}) {
        SCOPED_TRACE(name);
        auto decoder = openFixture(name);
        const std::vector<int16_t> all = decodeRest(*decoder).samples;
        ASSERT_TRUE(decoder->seekToFrame(-5000));
        const Decoded fromStart = decodeRest(*decoder);
        EXPECT_EQ(fromStart.firstFrame, 0);
        EXPECT_TRUE(fromStart.samples == all);
        // Past the end: what follows the stated length, if anything.
        ASSERT_TRUE(decoder->seekToFrame(decoder->lengthInFrames() + 100000));
        const Decoded past = decodeRest(*decoder);
        EXPECT_EQ(past.end, AudioDecoder::Status::End);
        EXPECT_TRUE(past.samples == framesFrom(all, decoder->lengthInFrames(), decoder->channels()));
    }
}

TEST(AudioDecoder, KnowsTheStreamsOwnLength)
{
    // The AVI's video lasts 2.0 s and so does the container; its sound 2.3 s.
    auto avi = openFixture("avi-pcm.avi");
    EXPECT_EQ(avi->lengthInFrames(), 110400);
    EXPECT_EQ(static_cast<int64_t>(decodeRest(*avi).samples.size()) / avi->channels(), 110400);
    // Containers that state the length exactly, though the codec pads.
    EXPECT_EQ(openFixture("mov-aac.mov")->lengthInFrames(), 132300);
    EXPECT_EQ(openFixture("mp4-aac.mp4")->lengthInFrames(), 144000);
    EXPECT_EQ(openFixture("mpeg-ps.mpg")->lengthInFrames(), 144000);
    EXPECT_EQ(openFixture("ogg-vorbis.ogg")->lengthInFrames(), 132300);
    // Matroska states it to the millisecond only.
    EXPECT_NEAR(static_cast<double>(openFixture("mkv-vorbis.mkv")->lengthInFrames()), 132300, 0.01 * 44100);
    EXPECT_NEAR(static_cast<double>(openFixture("webm-opus.webm")->lengthInFrames()), 144000, 0.01 * 48000);
}

TEST(AudioDecoder, DecodesTheStreamItIsGiven)
{
    const struct {
        int ordinal;
        int rate;
        double tone;
    } streams[] = {{0, 44100, 440}, {1, 48000, 1000}};
    for (const auto& stream : streams) {
        auto decoder = openFixture("two-audio.mkv", stream.ordinal);
        EXPECT_EQ(decoder->sampleRate(), stream.rate);
        const Decoded decoded = decodeRest(*decoder);
        EXPECT_NEAR(crossingsPerSecond(decoded.samples, decoder->channels(), stream.rate) / 2, stream.tone, 2.0);
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
            OpenError why = OpenError::None;
            const auto probe = zuk::media::probeMedia(path, why);
            if (!probe)
                continue; // refusing it is fine; reading it must end
            for (const auto& stream : probe->streams) {
                if (stream.kind != zuk::media::StreamInfo::Kind::Audio || !stream.audio.decodable)
                    continue;
                auto decoder = AudioDecoder::open(path, stream.audio.index, why);
                if (!decoder)
                    continue;
                const Decoded decoded = decodeRest(*decoder);
                EXPECT_NE(decoded.end, AudioDecoder::Status::Frames);
                decoder->seekToFrame(decoder->lengthInFrames() / 2);
                EXPECT_NE(decodeRest(*decoder).end, AudioDecoder::Status::Frames);
            }
        }
    }
}

TEST(AudioDecoder, TruncatedFileGivesWhatItHolds)
{
    // The index promises three seconds; half the file holds about half.
    auto decoder = openFixture("truncated.mp4");
    EXPECT_EQ(decoder->lengthInFrames(), 144000);
    const Decoded decoded = decodeRest(*decoder);
    EXPECT_EQ(decoded.end, AudioDecoder::Status::End);
    EXPECT_GT(decoded.samples.size(), 0.3 * 144000);
    EXPECT_LT(decoded.samples.size(), 0.7 * 144000);
}

TEST(AudioDecoder, CutFileGivesWhatItHolds)
{
    // An AVI keeps its index at the end: without it the chunks are read in order.
    TempDir dir;
    const std::string cut = dir.file("cut.avi");
    copyPrefix(mediaFixture("avi-pcm.avi"), cut, std::filesystem::file_size(mediaFixture("avi-pcm.avi")) / 2);
    auto decoder = openPath(cut);
    const Decoded decoded = decodeRest(*decoder);
    EXPECT_EQ(decoded.end, AudioDecoder::Status::End);
    EXPECT_GT(decoded.samples.size(), 0.3 * 110400 * 2);
    EXPECT_LT(decoded.samples.size(), 0.7 * 110400 * 2);
    EXPECT_TRUE(decoded.samples == ffmpegDecode(cut));
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
