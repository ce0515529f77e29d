// The reader hands out neighbouring frames of a file read forwards once.
#include "audio/ForwardAudioFileReader.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

using namespace zuktest;

namespace {

constexpr int64_t kBlock = ForwardAudioFileReader::kBlockFrames;

std::vector<int16_t> frameOf(const std::vector<int16_t>& samples, int channels, int64_t index)
{
    if (index < 0)
        return std::vector<int16_t>(channels, 0);
    return {samples.begin() + index * channels, samples.begin() + (index + 1) * channels};
}

struct ReaderOn {
    TempDir dir;
    std::vector<int16_t> samples;
    ForwardAudioFileReader reader;
    std::vector<int16_t> a, b;

    ReaderOn(int64_t frames, int channels) : samples(testSignal(frames, channels, 48000)), a(channels), b(channels)
    {
        writeShorts(dir.file("in.wav"), 48000, channels, samples);
        if (reader.openFile(wide(dir.file("in.wav")).c_str()) != 0)
            throw std::runtime_error("cannot open the test file");
    }
    int pair(int64_t index) { return reader.readFramePair(index, index - 1, a, b); }
};

} // namespace

TEST(ForwardAudioFileReader, HandsOutEveryPairAcrossBlocks)
{
    ReaderOn on(3 * kBlock + 100, 3);
    EXPECT_EQ(on.reader.frameCount(), 3 * kBlock + 100);
    // Steps of 1 (the pair moves on), 0 (the pair is reused) and jumps, across block edges.
    for (int64_t index :
        {0L, 1L, 1L, 2L, 500L, kBlock - 1, kBlock, kBlock, kBlock + 1, 2 * kBlock + 7, 3 * kBlock, 3 * kBlock + 99}) {
        ASSERT_EQ(on.pair(index), 0) << index;
        EXPECT_EQ(on.a, frameOf(on.samples, 3, index)) << index;
        EXPECT_EQ(on.b, frameOf(on.samples, 3, index - 1)) << index;
    }
}

TEST(ForwardAudioFileReader, CannotGoBackToAnEarlierBlock)
{
    ReaderOn on(3 * kBlock, 1);
    ASSERT_EQ(on.pair(2 * kBlock + 5), 0);
    EXPECT_EQ(on.pair(kBlock + 5), -2);
    // Going back never reads before the start either.
    EXPECT_EQ(on.pair(0), -2);
}

TEST(ForwardAudioFileReader, EndOfDataReadsAsSilenceAndIsReported)
{
    ReaderOn on(kBlock + 10, 2);
    ASSERT_EQ(on.pair(kBlock + 9), 0);
    on.a = on.b = {5, 5};
    EXPECT_EQ(on.pair(2 * kBlock + 3), 1);
    EXPECT_EQ(on.a, (std::vector<int16_t>{0, 0}));
    // Past the data of the short last block, not stale samples of an earlier one.
    EXPECT_EQ(on.pair(kBlock + 10), 1);
    EXPECT_EQ(on.a, (std::vector<int16_t>{0, 0}));
    // Asking again is safe.
    EXPECT_EQ(on.pair(2 * kBlock + 3), 1);
}

TEST(ForwardAudioFileReader, ReopensAndCloses)
{
    TempDir dir;
    ForwardAudioFileReader reader;
    writeShorts(dir.file("a.wav"), 8000, 1, {1, 2, 3});
    writeShorts(dir.file("b.wav"), 16000, 2, {4, 4, 5, 5});
    const int before = openDescriptorCount();
    ASSERT_EQ(reader.openFile(wide(dir.file("a.wav")).c_str()), 0);
    std::vector<int16_t> a(1), b(1);
    ASSERT_EQ(reader.readFramePair(2, 1, a, b), 0);
    ASSERT_EQ(reader.openFile(wide(dir.file("b.wav")).c_str()), 0);
    EXPECT_EQ(reader.sampleRate(), 16000);
    std::vector<int16_t> a2(2), b2(2);
    ASSERT_EQ(reader.readFramePair(1, 0, a2, b2), 0);
    EXPECT_EQ(a2, (std::vector<int16_t>{5, 5}));
    EXPECT_EQ(reader.closeFile(), 0);
    EXPECT_EQ(openDescriptorCount(), before);
    EXPECT_EQ(reader.readFramePair(5, 4, a2, b2), 1);
}
