// The piece runner with a reader whose sound is known: pieces join into the
// whole sound in order, whatever its length; a join that differs or a piece
// that ends early gives up.
#include "audio/PieceRunner.h"

#include <gtest/gtest.h>

using namespace zuk;

namespace {

constexpr int64_t P = kPieceFrames;

int16_t valueAt(int64_t frame)
{
    return static_cast<int16_t>(frame % 32749);
}

// A sound of `length` frames; the piece starting at `wrongAt` starts one off.
struct KnownSound final : PieceReader {
    KnownSound(int64_t frames, int64_t wrongFrom) : length(frames), wrongAt(wrongFrom) { }
    bool read(int64_t first, int64_t count, Piece& piece) override
    {
        for (int64_t frame = first; frame < std::min(length, first + count); ++frame)
            piece.frames.push_back(static_cast<int16_t>(valueAt(frame) + (first == wrongAt)));
        return true;
    }
    int64_t length;
    int64_t wrongAt;
};

} // namespace

TEST(PieceRunner, JoinsPiecesOrGivesUp)
{
    struct Case {
        const char* name;
        int64_t announced; // frames the caller expects
        int64_t length;    // frames the sound has
        int64_t wrongAt;
        SplitOutcome outcome;
    } const cases[] = {
        {"ends just after a piece, within the join", 3 * P + 100, 3 * P + 100, -1, SplitOutcome::Done},
        {"ends on a piece's end", 3 * P, 3 * P, -1, SplitOutcome::Done},
        {"longer than announced: the last piece reads on", 3 * P, 3 * P + 5000, -1, SplitOutcome::Done},
        {"a piece that starts differently", 4 * P, 4 * P, 2 * P, SplitOutcome::NotExact},
        {"a sound that ends in a middle piece", 4 * P, 2 * P + 5, -1, SplitOutcome::NotExact},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> taken;
        const auto open = [&] { return std::make_unique<KnownSound>(c.length, c.wrongAt); };
        const auto take = [&](std::span<const int16_t> frames, std::span<const ProgressMark>) {
            taken.insert(taken.end(), frames.begin(), frames.end());
            return true;
        };
        ASSERT_EQ(runPieces(1, c.announced, 3, open, take), c.outcome) << c.name;
        std::vector<int16_t> whole(static_cast<size_t>(c.length));
        for (int64_t frame = 0; frame < c.length; ++frame)
            whole[static_cast<size_t>(frame)] = valueAt(frame);
        EXPECT_TRUE(c.outcome != SplitOutcome::Done || taken == whole) << c.name;
    }
}
