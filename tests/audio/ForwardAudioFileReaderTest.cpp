// The reader hands out neighbouring frames of a file read forwards once.
#include "audio/ForwardAudioFileReader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace zuktest;

namespace {

constexpr int64_t kBlock = ForwardAudioFileReader::kBlockFrames;

} // namespace

// One reader walks a file of three blocks and ten frames: steps of 1 (the pair
// moves on), 0 (the pair is reused) and jumps, across block edges; past the
// data, also within the short last block, silence and 1; never back to an
// earlier block, nor to the start; nothing once closed.
TEST(ForwardAudioFileReader, HandsOutPairsForwardsOnly)
{
    TempDir dir;
    const int64_t frames = 3 * kBlock + 10;
    const std::vector<int16_t> samples = testSignal(frames, 2, 48000);
    writeShorts(dir.file("in.wav"), 48000, 2, samples);
    ForwardAudioFileReader reader;
    const int before = openDescriptorCount();
    ASSERT_EQ(reader.openFile(wide(dir.file("in.wav")).c_str()), 0);
    ASSERT_EQ(reader.openFile(wide(dir.file("in.wav")).c_str()), 0) << "opening again lets the first go";
    EXPECT_EQ(reader.frameCount(), frames);
    const auto frame = [&](int64_t index) {
        return index < 0 || index >= frames
            ? std::vector<int16_t>(2, 0)
            : std::vector<int16_t>(samples.begin() + 2 * index, samples.begin() + 2 * index + 2);
    };
    const struct {
        int64_t index;
        int result;
    } steps[] = {{0, 0}, {1, 0}, {1, 0}, {2, 0}, {500, 0}, {kBlock - 1, 0}, {kBlock, 0}, {kBlock, 0}, {kBlock + 1, 0},
        {2 * kBlock + 7, 0}, {frames - 1, 0}, {frames, 1}, {4 * kBlock + 3, 1}, {4 * kBlock + 3, 1},
        {2 * kBlock + 5, -2}, {0, -2}};
    std::vector<int16_t> a(2), b(2);
    for (const auto& step : steps) {
        a = b = {5, 5};
        EXPECT_EQ(reader.readFramePair(step.index, step.index - 1, a, b), step.result) << step.index;
        EXPECT_EQ(a, step.result == 0 ? frame(step.index) : frame(-1)) << step.index;
        EXPECT_EQ(b, step.result == 0 ? frame(step.index - 1) : b) << step.index;
    }
    EXPECT_EQ(reader.closeFile(), 0);
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_EQ(reader.readFramePair(5, 4, a, b), 1);
}
