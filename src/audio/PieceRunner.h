// A long sound decoded as pieces on several threads at once, each thread with
// a reader of its own, and handed in order to the calling thread, which writes
// it. Pieces start at fixed output frames whatever the number of threads, so
// the output never depends on that number.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace zuk {

// 64 s at 48000 Hz: whole seconds (a rate converter keeps its phase for any
// whole source rate) and whole batches of the linear resampler.
constexpr int64_t kPieceFrames = int64_t{64} * 48000;
// A piece reads this far past its end, to compare with the next one's start.
constexpr int64_t kJoinFrames = 12000;

// Progress to report once the frames before `frame` (of its piece) are written.
struct ProgressMark {
    int64_t frame;
    float percent;
};

struct Piece {
    std::vector<int16_t> frames;        // interleaved
    std::vector<ProgressMark> progress; // in order, if the reader keeps any
};

// One reader of the sound, used on one thread only.
class PieceReader {
public:
    virtual ~PieceReader() = default;
    // Appends output frames first .. first + count - 1 to piece.frames, fewer
    // only where the sound ends. False when it cannot (a failed seek, a read
    // error, a stop asked for).
    virtual bool read(int64_t first, int64_t count, Piece& piece) = 0;
};

// Called on each worker thread; null when no reader opens.
using OpenPieceReader = std::function<std::unique_ptr<PieceReader>()>;
// Takes each finished piece in order, without the frames it read past its
// end; false gives up.
using TakePiece = std::function<bool(std::span<const int16_t> frames, std::span<const ProgressMark> progress)>;

enum class SplitOutcome {
    Done,
    NotExact, // a join differed, a piece ended early or a reader failed: decode in one piece instead
    Stopped,  // the stop flag of the calling thread was set
    TakeFailed,
};

// Whether a sound of `frames` output frames is worth splitting on `threads`.
bool worthSplitting(int64_t frames, int threads);

// Decodes a sound of about `frames` frames of `channels` channels as pieces
// on up to `threads` threads (at most 8). The last piece reads to the end of
// the sound, whatever its length. Workers watch the caller's stop flag.
SplitOutcome runPieces(int channels, int64_t frames, int threads, const OpenPieceReader& open, const TakePiece& take);

} // namespace zuk
