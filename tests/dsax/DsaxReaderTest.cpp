// The dsax reader through its exported functions: handles, COM balance, the
// mixes it delivers, reading across buffered frames, seeking, and every kind
// of bad call.
#include "platform/com/Com.h"
#include "support/LogCapture.h"
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/dsax.h>

#include <gtest/gtest.h>

#include "platform/media/MediaInterfaces.h"

#include <cstring>
#include <limits>
#include <stdexcept>

using namespace zuktest;
using dsax::DSAX_MEDIA_INFO;

namespace {

const char* const kInvalid = "An invalid parameter was passed to the returning function";

// Closes on the way out of a test, even a failing one.
struct Opened {
    DSAX_MEDIA_INFO* info;
    explicit Opened(const std::string& path) : info(dsax::dsax_open(wide(path).c_str())) { }
    ~Opened() { dsax::dsax_close(&info); }
    uint32_t handle() const { return info->handle; }
};

template <class Call>
std::string thrownText(Call&& call)
{
    try {
        call();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return "(nothing thrown)";
}

// Up to `frames` frames, read as mono or as stereo pairs.
std::vector<int16_t> readFrames(uint32_t handle, int64_t frames, bool stereo = false)
{
    const int channels = stereo ? 2 : 1;
    std::vector<int16_t> values(static_cast<size_t>(channels * frames));
    const auto read = stereo ? dsax::dsax_read_short_stereo : dsax::dsax_read_short;
    values.resize(static_cast<size_t>(channels * read(handle, values.data(), frames, nullptr)));
    return values;
}

struct DsaxReader : ::testing::Test {
    TempDir dir;

    // A 48000 Hz WAV of the given frames, which reaches the reader unchanged.
    std::string wav48k(const std::string& name, int channels, const std::vector<int16_t>& samples)
    {
        const std::string path = dir.file(name);
        writeShorts(path, 48000, channels, samples);
        return path;
    }

    static void SetUpTestSuite() { dsax::dsax_init(); }
};

} // namespace

TEST_F(DsaxReader, HandlesCountUpOnlyAnOpenReaderHoldsComAndBadCallsThrow)
{
    const auto samples = testSignal(4800, 1, 48000);
    const std::string clip = wav48k("a.wav", 1, samples);
    const int before = comInitializationCount();
    for (const std::u16string& path : {wide(mediaFixture("garbage.bin")), wide(mediaFixture("empty.mp4")),
             wide(dir.file("missing.mov")), wide(dir.file("clip")) + u"\xD800.mov", std::u16string()})
        EXPECT_NE(thrownText([&] { dsax::dsax_open(path.c_str()); }), "(nothing thrown)");
    EXPECT_EQ(comInitializationCount(), before) << "a failed open leaves COM as it was";
    EXPECT_EQ(thrownText([] { dsax::dsax_open(nullptr); }), "Invalid file name");

    DSAX_MEDIA_INFO* first = dsax::dsax_open(wide(clip).c_str());
    EXPECT_EQ(comInitializationCount(), before + 1);
    CapturingSink log;
    EXPECT_THROW(dsax::dsax_open(wide(mediaFixture("garbage.bin")).c_str()), std::runtime_error);
    EXPECT_EQ(log.joined().find("ZUK: Failed to create dsax filter \n"), std::string::npos);
    {
        Opened second(clip);
        EXPECT_NE(first->handle, 0u);
        EXPECT_EQ(second.handle(), first->handle + 1) << "a failed open uses no handle";
    }
    EXPECT_NE(log.joined().find("ZUK: Filters has been logged already.\n"), std::string::npos);
    EXPECT_EQ(log.joined().find("ZUK: Filter Dump Begin\n"), std::string::npos);
    const uint32_t closed = first->handle;
    dsax::dsax_close(&first);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(comInitializationCount(), before);
    dsax::dsax_close(&first);
    dsax::dsax_close(nullptr);
    EXPECT_EQ(comInitializationCount(), before) << "closing nothing touches no COM";

    int16_t shorts[8];
    double doubles[8];
    for (const uint32_t handle : {0u, closed, 0xFFFFFFF0u}) {
        EXPECT_EQ(thrownText([&] { dsax::dsax_read_short(handle, shorts, 4, nullptr); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_read_short_stereo(handle, shorts, 4, nullptr); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_read_double(handle, doubles, 4, nullptr); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_seek_nsec(handle, 0, 0); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_seek_samp(handle, 0, 0); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_set_norm_double(handle, 1); }), kInvalid);
    }
    // A file without sound opens, but cannot be read.
    Opened video(mediaFixture("video-only.mp4"));
    EXPECT_NE(log.joined().find("ZUK_DSPARSER: GraphBuilder not created \n"), std::string::npos);
    EXPECT_EQ(thrownText([&] { dsax::dsax_read_short(video.handle(), shorts, 4, nullptr); }), kInvalid);
    EXPECT_EQ(thrownText([&] { dsax::dsax_seek_nsec(video.handle(), 0, 0); }), kInvalid);

    // Bad counts and buffers leave an open stream where it was.
    Opened open(clip);
    for (const int64_t count : {int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min()}) {
        EXPECT_EQ(thrownText([&] { dsax::dsax_read_short(open.handle(), shorts, count, nullptr); }), kInvalid);
        EXPECT_EQ(thrownText([&] { dsax::dsax_read_double(open.handle(), doubles, count, nullptr); }), kInvalid);
    }
    EXPECT_EQ(thrownText([&] { dsax::dsax_read_short(open.handle(), nullptr, 4, nullptr); }), kInvalid);
    EXPECT_EQ(thrownText([&] { dsax::dsax_read_short_stereo(open.handle(), nullptr, 4, nullptr); }), kInvalid);
    EXPECT_EQ(thrownText([&] { dsax::dsax_read_double(open.handle(), nullptr, 4, nullptr); }), kInvalid);
    // Counts whose 16-bit size passes 32 bits are beyond the double read.
    for (const int64_t count : {int64_t{1} << 31, std::numeric_limits<int64_t>::max()})
        EXPECT_EQ(
            thrownText([&] { dsax::dsax_read_double(open.handle(), doubles, count, nullptr); }), "Ran out of memory");

    EXPECT_EQ(readFrames(open.handle(), 100), std::vector<int16_t>(samples.begin(), samples.begin() + 100));
}

TEST_F(DsaxReader, MixesChannelsByTruncatedMeanKeepsTheFirstTwoAndNormalisesDoublesWhenAsked)
{
    {
        Opened pair(wav48k("pair.wav", 2, {1, -2, 3, 4, -3, -4, 32767, 32767}));
        EXPECT_EQ(readFrames(pair.handle(), 4), (std::vector<int16_t>{0, 3, -3, 32767}));
    }
    {
        const std::vector<int16_t> six{1, 2, 3, 4, 5, 6, -1, -1, -1, -1, -1, -2, 100, 200, 0, 0, 0, 0};
        Opened surround(wav48k("six.wav", 6, six));
        EXPECT_EQ(readFrames(surround.handle(), 3, true), (std::vector<int16_t>{1, 2, -1, -1, 100, 200}));
        EXPECT_EQ(dsax::dsax_seek_samp(surround.handle(), 0, 0), 0);
        EXPECT_EQ(readFrames(surround.handle(), 3), (std::vector<int16_t>{3, -1, 50}));
    }
    {
        Opened mono(wav48k("mono.wav", 1, {5, -7, 9}));
        EXPECT_EQ(readFrames(mono.handle(), 3, true), (std::vector<int16_t>{5, 5, -7, -7, 9, 9}));
    }
    // Doubles are the same values, normalised to -1..1 only when asked.
    Opened clip(wav48k("a.wav", 1, {-32768, 16384, -32768, 16384}));
    double values[4];
    EXPECT_EQ(dsax::dsax_read_double(clip.handle(), values, 2, nullptr), 2);
    EXPECT_EQ(dsax::dsax_set_norm_double(clip.handle(), 1), 0);
    EXPECT_EQ(dsax::dsax_read_double(clip.handle(), values + 2, 2, nullptr), 2);
    EXPECT_EQ(std::vector<double>(values, values + 4), (std::vector<double>{-32768.0, 16384.0, -1.0, 0.5}));
    EXPECT_EQ(dsax::dsax_set_norm_double(clip.handle(), 0), 1);
}

// Small reads in turn, of either kind, each continue where the last ended; the
// last is short, and reports progress 100.
TEST_F(DsaxReader, ReadsOfEveryKindShareOneStreamAndEndShortWithProgress100)
{
    const int64_t frames = 30000;
    const auto samples = testSignal(frames, 2, 48000);
    Opened clip(wav48k("a.wav", 2, samples));
    int64_t at = 0;
    for (; at + 700 <= frames; at += 700) {
        const auto from = samples.begin() + 2 * at;
        if ((at / 700) % 2 == 1) {
            ASSERT_EQ(readFrames(clip.handle(), 700, true), std::vector<int16_t>(from, from + 1400))
                << "at frame " << at;
            continue;
        }
        const auto mono = readFrames(clip.handle(), 700);
        ASSERT_EQ(mono.size(), 700u) << "at frame " << at;
        EXPECT_EQ(mono.back(), (from[1398] + from[1399]) / 2) << "at frame " << at;
    }
    uint32_t progress = 0;
    int16_t buffer[700];
    EXPECT_EQ(dsax::dsax_read_short(clip.handle(), buffer, 700, &progress), frames - at);
    EXPECT_EQ(progress, 100u);
    EXPECT_EQ(dsax::dsax_read_short(clip.handle(), buffer, 700, &progress), 0);
    EXPECT_EQ(progress, 100u);
}

// Sample seeks count frames at 48000 Hz, whatever the source's own rate (here
// 24000 Hz); a read buffers more than it hands out, and a seek drops that rest.
TEST_F(DsaxReader, SeeksStayInsideTheStreamAndDropBufferedFrames)
{
    const std::string path = dir.file("24k.wav");
    writeShorts(path, 24000, 1, testSignal(24000, 1, 24000));
    const std::vector<int16_t> whole = [&] {
        Opened clip(path);
        return readFrames(clip.handle(), 48000);
    }();
    ASSERT_EQ(whole.size(), 48000u);
    Opened clip(path);
    const int64_t duration = clip.info->duration;
    ASSERT_EQ(duration, 10'000'000);
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), 5'000'000, 0), 5'000'000);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), 1'000'000, 1), 6'000'000);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), 7, 5), 6'000'000) << "an unknown whence stays put";
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), -2'500'000, 2), 7'500'000);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), duration * 3, 0), duration);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), kMax, 1), duration);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), kMin, 1), 0);
    EXPECT_EQ(dsax::dsax_seek_nsec(clip.handle(), kMax, 2), duration);

    EXPECT_EQ(dsax::dsax_seek_samp(clip.handle(), 12000, 0), 12000);
    EXPECT_EQ(dsax::dsax_seek_samp(clip.handle(), -100, 2), 47900);
    EXPECT_EQ(dsax::dsax_seek_samp(clip.handle(), kMax, 0), 48000);
    EXPECT_EQ(dsax::dsax_seek_samp(clip.handle(), kMin, 1), 0);

    EXPECT_EQ(readFrames(clip.handle(), 10).size(), 10u);
    EXPECT_EQ(dsax::dsax_seek_samp(clip.handle(), 30000, 0), 30000);
    EXPECT_GT(correlation(
                  readFrames(clip.handle(), 1000), std::vector<int16_t>(whole.begin() + 30000, whole.begin() + 31000)),
        0.99);
}

// The record of each kind of file: the first sound stream's format, length
// and own rate; the video's frame rate.
TEST_F(DsaxReader, DescribesTheFileItOpens)
{
    writeShorts(dir.file("24k.wav"), 24000, 1, testSignal(24000, 1, 24000));
    const struct {
        std::string path;
        int channels; // 0: no sound
        uint32_t rate;
        double frameRate;
        int64_t duration;
        int64_t sampleLength;
    } files[] = {
        {mediaFixture("mov-aac.mov"), 2, 44100, 25.0, 30'000'000, 132300},
        {mediaFixture("two-audio.mov"), 1, 48000, 0.0, 20'000'000, 96000},             // of two, the first
        {mediaFixture("truncated.mp4"), 1, 48000, 30000.0 / 1001, 30'000'000, 144000}, // as its index claims
        {mediaFixture("video-only.mp4"), 0, 0, 25.0, 0, 0},
        {dir.file("24k.wav"), 1, 24000, 0.0, 10'000'000, 24000},
    };
    for (const auto& file : files) {
        Opened opened(file.path);
        EXPECT_NEAR(opened.info->frame_rate, file.frameRate, 1e-6) << file.path;
        EXPECT_EQ(opened.info->video_format != nullptr, file.frameRate > 0) << file.path;
        EXPECT_EQ(opened.info->duration, file.duration) << file.path;
        EXPECT_EQ(opened.info->sample_length, file.sampleLength) << file.path;
        ASSERT_EQ(opened.info->audio_format != nullptr, file.channels > 0) << file.path;
        if (file.channels == 0)
            continue;
        WAVEFORMATEX audio;
        std::memcpy(&audio, opened.info->audio_format, sizeof(audio));
        EXPECT_EQ(audio.nChannels, file.channels) << file.path;
        EXPECT_EQ(audio.nSamplesPerSec, file.rate) << file.path;
    }
}

TEST_F(DsaxReader, AReadThatFailsPartWayLosesNoFrameAndTheNextReadsReportTheFailure)
{
    // Decoding fails two seconds in, past one double read (65536 frames). Reads
    // of one frame buffer nothing: they get every frame delivered before it.
    const std::string path = mediaFixture("ts-gap.m2t");
    const auto readUntilFailure = [](uint32_t handle, std::vector<int16_t>& frames) {
        int16_t frame = 0;
        try {
            while (dsax::dsax_read_short(handle, &frame, 1, nullptr) == 1)
                frames.push_back(frame);
        } catch (const std::runtime_error&) {
            return true;
        }
        return false;
    };
    std::vector<int16_t> beforeFailure;
    {
        Opened clip(path);
        ASSERT_TRUE(readUntilFailure(clip.handle(), beforeFailure));
    }

    Opened clip(path);
    std::vector<double> values(144000);
    const int64_t got = dsax::dsax_read_double(clip.handle(), values.data(), 144000, nullptr);
    ASSERT_GT(got, 0);
    std::vector<int16_t> read(values.begin(), values.begin() + got);
    EXPECT_TRUE(readUntilFailure(clip.handle(), read));
    EXPECT_EQ(read, beforeFailure);
}
