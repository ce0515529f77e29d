// The WAV every writer creates: plain while its 32-bit sizes can count the
// samples, RF64 past that, and never a header with sizes cut to 32 bits.
#include "platform/SoundFile.h"

#include "support/MediaFixtures.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace zuktest;

namespace {

// 16-bit mono frames whose samples pass 4 GiB.
constexpr int64_t kPast4GiB = 2'200'000'000;

// Creates `path` for `plannedFrames`, writes a few frames at its start and a
// few ending at `frames`, skipping the rest so the file stays sparse; returns
// closeSoundFile's verdict.
bool writeSparse(const std::string& path, int64_t plannedFrames, int64_t frames)
{
    SF_INFO info{};
    zuk::SoundFilePtr file = zuk::createPcm16Wav(wide(path).c_str(), 48000, 1, plannedFrames, info);
    EXPECT_TRUE(file);
    const std::vector<int16_t> some(1000, 7);
    EXPECT_EQ(sf_writef_short(file.get(), some.data(), 1000), 1000);
    EXPECT_EQ(sf_seek(file.get(), frames - 1000, SEEK_SET), frames - 1000);
    EXPECT_EQ(sf_writef_short(file.get(), some.data(), 1000), 1000);
    return zuk::closeSoundFile(file);
}

} // namespace

TEST(SoundFile, FormatsThatCannotCountTheSamplesGiveWayToRf64)
{
    // Format, channels, frames: the format that holds them, 0 for none.
    const std::tuple<int, int, int64_t, int> cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 48000, SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, kPast4GiB, SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8, kPast4GiB / 8, SF_FORMAT_RF64 | SF_FORMAT_PCM_16},
        {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 2, kPast4GiB / 3, SF_FORMAT_RF64 | SF_FORMAT_PCM_24},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, kPast4GiB, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
        {SF_FORMAT_W64 | SF_FORMAT_PCM_16, 1, kPast4GiB, SF_FORMAT_W64 | SF_FORMAT_PCM_16},
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 1, kPast4GiB, 0},
    };
    for (const auto& [format, channels, frames, expected] : cases)
        EXPECT_EQ(zuk::formatHolding(format, channels, frames), expected) << std::hex << format << " " << frames;
}

TEST(SoundFile, AWavPast4GiBIsRf64ThatReadsBackWhole)
{
    TempDir dir;
    const std::string small = dir.file("small.wav"), plain = dir.file("plain.wav");
    ASSERT_TRUE(writeSparse(small, 48000, 48000));
    writeShorts(plain, 48000, 1, readShorts(small).samples);
    EXPECT_EQ(fileBytes(small), fileBytes(plain)); // below the limit, the same plain WAV as ever

    const std::string big = dir.file("big.wav");
    ASSERT_TRUE(writeSparse(big, kPast4GiB, kPast4GiB));
    SF_INFO info{};
    zuk::SoundFilePtr read = zuk::openSoundFile(wide(big).c_str(), SFM_READ, info);
    ASSERT_TRUE(read);
    EXPECT_EQ(info.format, SF_FORMAT_RF64 | SF_FORMAT_PCM_16);
    EXPECT_EQ(info.frames, kPast4GiB);
    EXPECT_EQ(commandOutput({"ffprobe", "-v", "error", "-show_entries", "stream=duration_ts", "-of", "csv=p=0", big}),
        "2200000000\n");

    // A writer that writes more than it created the file for is told so.
    EXPECT_FALSE(writeSparse(dir.file("overrun.wav"), 48000, kPast4GiB));
}
