// What the probe tells of media files, and how it refuses files it cannot use.
#include "platform/media/ffmpeg/MediaProbe.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <tuple>
#include <utility>

using zuk::media::MediaProbe;
using zuk::media::OpenError;
using zuk::media::probeMedia;
using zuk::media::StreamInfo;
using namespace zuktest;

namespace {

// A FOURCC as a BITMAPINFOHEADER holds it: the first character lowest.
uint32_t fourcc(const char (&text)[5])
{
    uint32_t code;
    std::memcpy(&code, text, sizeof code);
    return code;
}

MediaProbe probeFixture(const std::string& name)
{
    OpenError why = OpenError::None;
    auto probe = probeMedia(mediaFixture(name), why);
    if (!probe)
        throw std::runtime_error("cannot probe " + name + ": error " + std::to_string(static_cast<int>(why)));
    return *probe;
}

const StreamInfo* firstOfKind(const MediaProbe& probe, StreamInfo::Kind kind)
{
    for (const auto& stream : probe.streams)
        if (stream.kind == kind)
            return &stream;
    return nullptr;
}

std::string kindsOf(const MediaProbe& probe)
{
    std::string kinds;
    for (const auto& stream : probe.streams)
        kinds += stream.kind == StreamInfo::Kind::Audio ? 'A' : stream.kind == StreamInfo::Kind::Video ? 'V' : 'O';
    return kinds;
}

struct ExpectedAudio {
    std::string codec;
    int rate;
    int channels;
    uint16_t tag;
    int64_t frames;
    int64_t framesTolerance = 0;
    int bits = 0;
    int blockAlign = 0; // 0: not checked
};

// Codec, FOURCC and frame rate.
using ExpectedVideo = std::tuple<std::string, uint32_t, int, int>;

struct Container {
    std::string name;
    std::string kinds; // 'A'udio and 'V'ideo streams in container order
    std::optional<ExpectedVideo> video;
    std::optional<ExpectedAudio> audio; // the first audio stream
};

OpenError whyRefused(const std::string& path)
{
    OpenError why = OpenError::None;
    return probeMedia(path, why) ? OpenError::None : why;
}

void writeBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

} // namespace

TEST(MediaProbe, DescribesTheStreamsOfEachContainer)
{
    const Container containers[] = {
        {"mov-aac.mov", "VA", ExpectedVideo("mpeg4", fourcc("mp4v"), 25, 1),
            ExpectedAudio{"aac", 44100, 2, 0xFF, 132300}},
        {"mp4-aac.mp4", "VA", ExpectedVideo("h264", fourcc("avc1"), 30000, 1001),
            ExpectedAudio{"aac", 48000, 1, 0xFF, 144000}},
        // Matroska states lengths to the millisecond.
        {"mkv-vorbis.mkv", "VA", ExpectedVideo("h264", fourcc("H264"), 24000, 1001),
            ExpectedAudio{"vorbis", 44100, 2, 0x674F, 132300, 441}},
        {"webm-opus.webm", "VA", ExpectedVideo("vp8", fourcc("VP80"), 25, 1),
            ExpectedAudio{"opus", 48000, 2, 0x704F, 144000, 480}},
        {"avi-pcm.avi", "VA", ExpectedVideo("mjpeg", fourcc("MJPG"), 25, 1),
            ExpectedAudio{"pcm_s16le", 48000, 2, 0x1, 110400, 0, 16, 4}},
        {"mpeg-ps.mpg", "VA", ExpectedVideo("mpeg2video", fourcc("MPG2"), 25, 1),
            ExpectedAudio{"mp2", 48000, 2, 0x50, 144000}},
        // The MP3 header libavformat reads gives the encoder's delay but not
        // the padding at the end: up to a frame too long.
        {"mp3.mp3", "A", std::nullopt, ExpectedAudio{"mp3", 44100, 2, 0x55, 132300 + 576, 576}},
        {"flac.flac", "A", std::nullopt, ExpectedAudio{"flac", 44100, 2, 0xF1AC, 132300, 0, 16}},
        {"ogg-vorbis.ogg", "A", std::nullopt, ExpectedAudio{"vorbis", 44100, 2, 0x674F, 132300}},
        {"wav-float.wav", "A", std::nullopt, ExpectedAudio{"pcm_f32le", 48000, 2, 0x3, 48000, 0, 32, 8}},
        {"wav-s24.wav", "A", std::nullopt, ExpectedAudio{"pcm_s24le", 48000, 2, 0x1, 48000, 0, 24, 6}},
        {"two-audio.mkv", "VAA", ExpectedVideo("h264", fourcc("H264"), 25, 1),
            ExpectedAudio{"flac", 44100, 1, 0xF1AC, 88200, 0, 16}},
        {"video-only.mp4", "V", ExpectedVideo("mpeg4", fourcc("mp4v"), 25, 1), std::nullopt},
        // Timestamps that jump by ten hours: a length the file's size cannot
        // hold is unknown, not ten hours of silence to come.
        {"ts-jump.ts", "A", std::nullopt, ExpectedAudio{"mp2", 48000, 1, 0x50, 0}},
    };
    for (const Container& container : containers) {
        SCOPED_TRACE(container.name);
        const MediaProbe probe = probeFixture(container.name);
        EXPECT_EQ(kindsOf(probe), container.kinds);
        if (container.video) {
            const StreamInfo* stream = firstOfKind(probe, StreamInfo::Kind::Video);
            ASSERT_NE(stream, nullptr);
            const auto& video = stream->video;
            EXPECT_EQ(std::tuple(video.codecName, video.fourcc, video.frameRateNumerator, video.frameRateDenominator),
                *container.video);
            EXPECT_EQ(std::tuple(video.width, video.height, video.bitsPerPixel), std::tuple(160, 120, 24));
        }
        if (container.audio) {
            const StreamInfo* stream = firstOfKind(probe, StreamInfo::Kind::Audio);
            ASSERT_NE(stream, nullptr);
            const auto& audio = stream->audio;
            const ExpectedAudio& expected = *container.audio;
            EXPECT_EQ(std::tuple(audio.codecName, audio.sampleRate, audio.channels, audio.waveFormatTag,
                          audio.bitsPerSample, audio.decodable),
                std::tuple(expected.codec, expected.rate, expected.channels, expected.tag, expected.bits, true));
            EXPECT_NEAR(static_cast<double>(audio.frames), static_cast<double>(expected.frames),
                static_cast<double>(expected.framesTolerance));
            EXPECT_TRUE(!expected.blockAlign || audio.blockAlign == expected.blockAlign) << audio.blockAlign;
        }
    }
}

// Each rate rounds its half second of frames alike; a container's duration
// is its own (here its video's), whatever its sound lasts.
TEST(MediaProbe, EveryRateAndTheContainersOwnDuration)
{
    for (int rate : {8000, 11025, 22050, 32000, 44100, 88200, 96000, 192000}) {
        const auto audio = probeFixture("rate-" + std::to_string(rate) + ".wav").streams.at(0).audio;
        EXPECT_EQ(std::pair(audio.sampleRate, audio.frames), std::pair(rate, int64_t{(rate + 1) / 2}));
    }
    const MediaProbe avi = probeFixture("avi-pcm.avi");
    EXPECT_EQ(avi.containerDurationUs, 2000000) << "the sound lasts 2.3 s";
    EXPECT_EQ(firstOfKind(avi, StreamInfo::Kind::Audio)->audio.bitRate, 48000 * 2 * 16);
    EXPECT_EQ(probeFixture("mov-aac.mov").containerDurationUs, 3000000);
}

TEST(MediaProbe, SaysWhyAFileIsRefused)
{
    TempDir dir;
    // A well-formed WAV whose sound is coded with a format tag nothing decodes.
    writeShorts(dir.file("unknown-codec.wav"), 8000, 1, std::vector<int16_t>(500));
    std::string wav = fileBytes(dir.file("unknown-codec.wav"));
    wav.replace(20, 2, "\x34\x12");
    writeBytes(dir.file("unknown-codec.wav"), wav);
    std::filesystem::create_directory(dir.file("folder.mp4"));
    for (const auto& [path, why] : {std::pair{dir.file("missing.mp4"), OpenError::NotFound},
             {std::string(), OpenError::NotFound}, {mediaFixture("garbage.bin"), OpenError::UnknownFormat},
             {mediaFixture("empty.mp4"), OpenError::UnknownFormat},
             {dir.file("unknown-codec.wav"), OpenError::NoDecodableStream},
             {dir.file("folder.mp4"), OpenError::Unreadable}})
        EXPECT_EQ(whyRefused(path), why) << path;
}
