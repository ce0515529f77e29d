// The reader's C interface against the dsax reader it wraps: the same samples
// and seeks, codes and reasons for what it cannot open, bad arguments, and a
// reader handed to another thread.
#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <zuk/dsax.h>
#include <zuk/reader.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <thread>

using namespace zuktest;

namespace {

using Reader = std::unique_ptr<zuk_reader, decltype(&zuk_reader_close)>;

Reader opened(const std::string& path)
{
    zuk_reader* reader = nullptr;
    char reason[200] = "";
    EXPECT_EQ(zuk_reader_open(path.c_str(), &reader, reason, sizeof reason), ZUK_OK) << path << ": " << reason;
    return Reader(reader, zuk_reader_close);
}

// Everything a read call gives until the end, `channels` values a frame.
template <class Value, class Read>
std::vector<Value> readAll(Read read, int channels)
{
    std::vector<Value> all, block(2 * 3000);
    for (int64_t frames = 0; (frames = read(block.data(), 3000)) > 0;)
        all.insert(all.end(), block.begin(), block.begin() + frames * channels);
    return all;
}

std::vector<int16_t> dsaxSamples(const std::string& path, int channels)
{
    dsax::DSAX_MEDIA_INFO* info = dsax::dsax_open(wide(path).c_str());
    const auto read = channels == 1 ? dsax::dsax_read_short : dsax::dsax_read_short_stereo;
    auto all =
        readAll<int16_t>([&](int16_t* block, int64_t n) { return read(info->handle, block, n, nullptr); }, channels);
    dsax::dsax_close(&info);
    return all;
}

} // namespace

TEST(Reader, GivesTheDsaxSamplesAsS16AndF32OnAnyThread)
{
    const struct {
        const char* file;
        int channels;
        int32_t sourceChannels;
    } cases[] = {{"mp4-aac.mp4", 1, 1}, {"mp4-aac.mp4", 2, 1}, {"mov-s16be-stereo-front.mov", 1, 2},
        {"mov-s16be-stereo-front.mov", 2, 2}, {"channels-6.wav", 1, 6}, {"mkv-vorbis.mkv", 1, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " as " + std::to_string(c.channels));
        const std::string path = mediaFixture(c.file);
        const std::vector<int16_t> expected = dsaxSamples(path, c.channels);
        ASSERT_FALSE(expected.empty());
        // Opened here, read and closed on another thread.
        std::vector<int16_t> shorts;
        std::thread([reader = opened(path).release(), &shorts, &c] {
            shorts = readAll<int16_t>(
                [&](int16_t* block, int64_t n) { return zuk_reader_read_s16(reader, block, n, c.channels); },
                c.channels);
            zuk_reader_close(reader);
        }).join();
        EXPECT_EQ(shorts, expected);

        const Reader reader = opened(path);
        zuk_reader_info info{};
        ASSERT_EQ(zuk_reader_info_of(reader.get(), &info), ZUK_OK);
        EXPECT_EQ(info.rate, 48000);
        EXPECT_EQ(info.channels, c.sourceChannels);
        const auto floats = readAll<float>(
            [&](float* block, int64_t n) { return zuk_reader_read_f32(reader.get(), block, n, c.channels); },
            c.channels);
        ASSERT_EQ(floats.size(), expected.size());
        for (size_t i = 0; i < floats.size(); ++i)
            ASSERT_EQ(floats[i], expected[i] / 32768.0f) << "value " << i;
        EXPECT_EQ(zuk_reader_position(reader.get()), static_cast<int64_t>(expected.size()) / c.channels);

        // One read for the whole sound gives the same: a read is short only at the end.
        ASSERT_EQ(zuk_reader_seek_frame(reader.get(), 0, ZUK_FROM_START), 0);
        std::vector<int16_t> whole(expected.size() + 2 * 48000);
        const int64_t got = zuk_reader_read_s16(reader.get(), whole.data(), 48000 + info.frames, c.channels);
        whole.resize(static_cast<size_t>(std::max<int64_t>(got, 0) * c.channels));
        EXPECT_EQ(whole, expected);
    }
}

TEST(Reader, SeeksLandWhereTheDsaxSeeksLandCountingFromTheFramesRead)
{
    // From the current frame is from the start here: the reader has read 1000 frames.
    const struct {
        bool seconds;
        double offset;
        int32_t whence;
        double dsaxOffset; // from the start or end, in frames or 100-ns units
    } cases[] = {{false, 4800, ZUK_FROM_START, 4800}, {false, -4800, ZUK_FROM_END, -4800},
        {false, 2400, ZUK_FROM_CURRENT, 3400}, {false, -5000, ZUK_FROM_CURRENT, -5000},
        {false, 1e12, ZUK_FROM_START, 1e12}, {true, 0.5, ZUK_FROM_START, 5e6}, {true, -0.25, ZUK_FROM_END, -2.5e6},
        {true, 0.1, ZUK_FROM_CURRENT, 1e6 + 1000 / 48000.0 * 1e7}};
    const std::string path = mediaFixture("mov-s16be-stereo-front.mov");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.offset) + " from " + std::to_string(c.whence));
        const Reader reader = opened(path);
        int16_t block[2000];
        ASSERT_EQ(zuk_reader_read_s16(reader.get(), block, 1000, 2), 1000);
        const int64_t reached = c.seconds
            ? zuk_reader_seek_seconds(reader.get(), c.offset, c.whence)
            : zuk_reader_seek_frame(reader.get(), static_cast<int64_t>(c.offset), c.whence);

        dsax::DSAX_MEDIA_INFO* info = dsax::dsax_open(wide(path).c_str());
        const int origin = c.whence == ZUK_FROM_END ? 2 : 0;
        const auto offset = static_cast<int64_t>(c.dsaxOffset);
        const int64_t expected = c.seconds
            ? static_cast<int64_t>(dsax::dsax_seek_nsec(info->handle, offset, origin) / 1e7 * 48000)
            : dsax::dsax_seek_samp(info->handle, offset, origin);
        int16_t after[200] = {}, dsaxAfter[200] = {};
        const int64_t afterFrames = dsax::dsax_read_short_stereo(info->handle, dsaxAfter, 100, nullptr);
        dsax::dsax_close(&info);

        EXPECT_EQ(reached, expected);
        EXPECT_EQ(zuk_reader_position(reader.get()), expected);
        ASSERT_EQ(zuk_reader_read_s16(reader.get(), after, 100, 2), afterFrames);
        EXPECT_TRUE(std::equal(after, after + 200, dsaxAfter));
        EXPECT_EQ(zuk_reader_position(reader.get()), expected + afterFrames);
    }
}

TEST(Reader, OpenFailuresGiveTheirCodesAndReasons)
{
    TempDir dir;
    // Linux names are bytes: one that is not UTF-8 still names its file.
    const std::string oddName = dir.file("clip-\xff\xfe.mov");
    std::filesystem::copy_file(mediaFixture("mp4-aac.mp4"), oddName);
    const struct {
        std::string path;
        int32_t code;
        const char* reason;
    } cases[] = {{oddName, ZUK_OK, ""},
        {dir.file("missing.mp4"), ZUK_E_OPEN, "The system cannot find the file specified."},
        {dir.path().string(), ZUK_E_OPEN, "Not a regular file"},
        {mediaFixture("garbage.bin"), ZUK_E_UNSUPPORTED, "The media type of this file is not recognized."},
        {mediaFixture("video-only.mp4"), ZUK_E_NO_SAMPLES, "The file holds no sound"},
        // A file cut short opens; its reads end where its data does.
        {mediaFixture("truncated.mp4"), ZUK_OK, ""}};
    for (const auto& c : cases) {
        zuk_reader* reader = reinterpret_cast<zuk_reader*>(&dir);
        char reason[200] = "(untouched)";
        EXPECT_EQ(zuk_reader_open(c.path.c_str(), &reader, reason, sizeof reason), c.code) << c.path;
        EXPECT_STREQ(reason, c.reason) << c.path;
        EXPECT_EQ(reader != nullptr, c.code == ZUK_OK) << c.path;
        zuk_reader_close(reader);
    }
    char cut[5];
    zuk_reader* reader = nullptr;
    EXPECT_EQ(zuk_reader_open_wide(nullptr, &reader, cut, sizeof cut), ZUK_E_OPEN);
    EXPECT_STREQ(cut, "Inva");
    EXPECT_EQ(zuk_reader_open(nullptr, &reader, nullptr, 0), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_open(oddName.c_str(), nullptr, nullptr, 0), ZUK_E_OPEN);
}

TEST(Reader, BadArgumentsFailWithoutMovingTheReader)
{
    const Reader reader = opened(mediaFixture("mp4-aac.mp4"));
    int16_t shorts[8];
    float floats[8];
    const struct {
        int64_t result;
        const char* reason;
    } cases[] = {{zuk_reader_read_s16(reader.get(), shorts, 4, 3), "Channels must be 1 or 2"},
        {zuk_reader_read_f32(reader.get(), floats, 4, 0), "Channels must be 1 or 2"},
        {zuk_reader_read_s16(reader.get(), nullptr, 4, 1), "No buffer, or a negative count of frames"},
        {zuk_reader_read_f32(reader.get(), floats, -1, 1), "No buffer, or a negative count of frames"},
        {zuk_reader_seek_frame(reader.get(), 0, 3), "Unknown origin of the seek"},
        {zuk_reader_seek_seconds(reader.get(), NAN, ZUK_FROM_START), "The time is not a finite number of seconds"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.result, ZUK_E_OPEN) << c.reason;
    EXPECT_STREQ(zuk_reader_error(reader.get()), cases[5].reason);
    EXPECT_EQ(zuk_reader_position(reader.get()), 0);
    EXPECT_EQ(zuk_reader_read_s16(reader.get(), shorts, 4, 1), 4);
    EXPECT_STREQ(zuk_reader_error(reader.get()), "") << "a call that succeeds clears the reason";

    zuk_reader_info info;
    EXPECT_EQ(zuk_reader_info_of(nullptr, &info), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_info_of(reader.get(), nullptr), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_read_s16(nullptr, shorts, 4, 1), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_read_f32(nullptr, floats, 4, 1), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_seek_frame(nullptr, 0, ZUK_FROM_START), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_seek_seconds(nullptr, 0, ZUK_FROM_START), ZUK_E_OPEN);
    EXPECT_EQ(zuk_reader_position(nullptr), ZUK_E_OPEN);
    EXPECT_STREQ(zuk_reader_error(nullptr), "");
    zuk_reader_close(nullptr);
}
