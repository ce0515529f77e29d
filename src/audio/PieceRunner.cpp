#include "audio/PieceRunner.h"

#include "platform/WorkControl.h"

#include <algorithm>
#include <condition_variable>
#include <limits>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace zuk {

namespace {

// Shorter sounds take too little time for threads to pay.
constexpr int64_t kShortestSplit = 3 * kPieceFrames;
// Each thread holds about two pieces of 6 MB (mono) at a time.
constexpr int kMostThreads = 8;

// Piece `index`'s reads past its end (`join`) must be how the next piece
// begins. Where either ended within the join, the sound ended there for both.
bool joinsUp(std::span<const int16_t> join, std::span<const int16_t> next, size_t joinValues)
{
    const size_t compared = std::min(join.size(), next.size());
    if (!std::equal(join.begin(), join.begin() + static_cast<std::ptrdiff_t>(compared), next.begin()))
        return false;
    return (join.size() == joinValues && next.size() >= joinValues) || join.size() == next.size();
}

class PieceRun {
public:
    PieceRun(int channelCount, int64_t frames, const OpenPieceReader& openReader)
        : channels(static_cast<size_t>(channelCount)),
          pieceCount(frames / kPieceFrames + (frames % kPieceFrames != 0)),
          open(openReader)
    {
    }

    SplitOutcome run(int threads, const TakePiece& take)
    {
        const std::atomic<bool>* stopFlag = watchedStopFlag();
        const int64_t wanted = std::min<int64_t>({threads, kMostThreads, pieceCount});
        inMemory = wanted + 1;
        std::vector<std::jthread> workers;
        // Released before the workers are joined, on every way out.
        const Abandon abandon{*this};
        for (int64_t i = 0; i < wanted; ++i) {
            try {
                workers.emplace_back([this, stopFlag] {
                    const StopScope watching(stopFlag);
                    // The other threads are the other pieces': each decodes on its own.
                    const DecodeThreadsScope alone(1);
                    decodePieces();
                });
            } catch (const std::system_error&) {
                break; // as many as the system gives
            }
        }
        if (workers.empty())
            return SplitOutcome::NotExact;
        return writePieces(take);
    }

private:
    struct Abandon {
        PieceRun& run;
        ~Abandon()
        {
            {
                const std::lock_guard guard(run.lock);
                run.abandoned = true;
            }
            run.changed.notify_all();
        }
    };

    bool isLast(int64_t index) const { return index + 1 == pieceCount; }

    void decodePieces()
    {
        std::unique_ptr<PieceReader> reader;
        try {
            reader = open();
        } catch (...) {
        }
        for (;;) {
            int64_t index = 0;
            {
                std::unique_lock guard(lock);
                changed.wait(guard,
                    [&] { return abandoned || nextToDecode >= pieceCount || nextToDecode < nextToWrite + inMemory; });
                if (abandoned || nextToDecode >= pieceCount)
                    return;
                index = nextToDecode++;
            }
            auto piece = std::make_unique<Piece>();
            const bool decoded = reader != nullptr && decode(*reader, index, *piece);
            {
                const std::lock_guard guard(lock);
                if (decoded)
                    finished[index] = std::move(piece);
                else
                    failed = true;
            }
            changed.notify_all();
            if (!decoded)
                return;
        }
    }

    bool decode(PieceReader& reader, int64_t index, Piece& piece)
    {
        const int64_t count = isLast(index) ? std::numeric_limits<int64_t>::max() / 2 : kPieceFrames + kJoinFrames;
        piece.frames.reserve(static_cast<size_t>(kPieceFrames + kJoinFrames) * channels);
        try {
            return !stopRequested() && reader.read(index * kPieceFrames, count, piece);
        } catch (...) {
            return false;
        }
    }

    // Waits for piece `index`; null when a worker failed first.
    std::unique_ptr<Piece> waitFor(int64_t index)
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return finished.contains(index) || failed; });
        const auto found = finished.find(index);
        if (found == finished.end())
            return nullptr;
        auto piece = std::move(found->second);
        finished.erase(found);
        return piece;
    }

    SplitOutcome writePieces(const TakePiece& take)
    {
        const size_t pieceValues = static_cast<size_t>(kPieceFrames) * channels;
        const size_t joinValues = static_cast<size_t>(kJoinFrames) * channels;
        std::vector<int16_t> join;
        for (int64_t index = 0; index < pieceCount; ++index) {
            const std::unique_ptr<Piece> piece = waitFor(index);
            if (stopRequested())
                return SplitOutcome::Stopped;
            if (piece == nullptr || (index > 0 && !joinsUp(join, piece->frames, joinValues)))
                return SplitOutcome::NotExact;
            const std::span<const int16_t> frames(piece->frames);
            const size_t kept = isLast(index) ? frames.size() : pieceValues;
            if (frames.size() < kept)
                return SplitOutcome::NotExact;
            const std::span<const ProgressMark> marks(piece->progress);
            const auto ownMarks = std::partition_point(marks.begin(), marks.end(),
                [&](const ProgressMark& mark) { return static_cast<size_t>(mark.frame) * channels < kept; });
            if (!take(frames.first(kept), marks.first(static_cast<size_t>(ownMarks - marks.begin()))))
                return SplitOutcome::TakeFailed;
            join.assign(frames.begin() + static_cast<std::ptrdiff_t>(kept), frames.end());
            {
                const std::lock_guard guard(lock);
                nextToWrite = index + 1;
            }
            changed.notify_all();
        }
        return SplitOutcome::Done;
    }

    const size_t channels;
    const int64_t pieceCount;
    const OpenPieceReader& open;
    int64_t inMemory = 1; // pieces decoding or waiting to be written

    std::mutex lock;
    std::condition_variable changed;
    std::map<int64_t, std::unique_ptr<Piece>> finished; // decoded, not yet written
    int64_t nextToDecode = 0;
    int64_t nextToWrite = 0;
    bool failed = false;
    bool abandoned = false;
};

} // namespace

bool worthSplitting(int64_t frames, int threads)
{
    return threads > 1 && frames >= kShortestSplit;
}

SplitOutcome runPieces(int channels, int64_t frames, int threads, const OpenPieceReader& open, const TakePiece& take)
{
    PieceRun run(channels, frames, open);
    return run.run(threads, take);
}

} // namespace zuk
