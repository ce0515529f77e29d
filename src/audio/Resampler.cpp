#include "audio/ForwardAudioFileReader.h"
#include "audio/PieceRunner.h"
#include "audio/ResampleKernel.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SoundFile.h"
#include "platform/WideText.h"
#include "platform/WorkControl.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

using zuk::Piece;
using zuk::PieceReader;
using zuk::stopRequested;

constexpr int kOutputBlock = 10240;
constexpr int kBatch = 1024; // output samples computed together; divides kOutputBlock
constexpr int64_t kProgressStep = 20000;

// Calls `report` at every output sample whose input position is a multiple
// of the step, with the share of the input's frames that position stands for.
// Positions only grow, so a run that starts at any sample reports what a run
// from the start reports from there on.
class ProgressSteps {
public:
    ProgressSteps(std::function<void(float)> report, int64_t frameCount) : emit(std::move(report)), frames(frameCount)
    {
    }

    // Output samples first .. last - 1 of a batch, in order.
    void report(const double* ceilings, int first, int last)
    {
        if (!emit)
            return;
        for (int i = first; i < last; ++i) {
            const auto pos = static_cast<int64_t>(ceilings[i]);
            if (pos < next)
                continue;
            if (pos % kProgressStep == 0) {
                emit(static_cast<float>(ceilings[i] * 100.0 / static_cast<double>(frames)));
                next = pos; // a position that serves several samples reports for each
            } else {
                next = (pos / kProgressStep + 1) * kProgressStep;
            }
        }
    }

private:
    std::function<void(float)> emit;
    int64_t frames;
    int64_t next = 0;
};

// The output samples of one input, a batch at a time. Output sample k lies at
// k * ratio on the input's time axis and depends on nothing else, so a run
// may start at any batch.
class OutputBatches {
public:
    OutputBatches(ForwardAudioFileReader& input, int32_t outputRate)
        : reader(input),
          inRate(input.sampleRate()),
          outRate(outputRate),
          ratio(inRate / outRate),
          frames(input.frameCount()),
          ceilings(kBatch),
          fracs(kBatch),
          a(kBatch),
          b(kBatch)
    {
    }

    bool fits(double k0) const { return (k0 + kBatch) * ratio < 0x1p52; }
    const double* positions() const { return ceilings.data(); }
    // The input frame before output sample k's, where reading must begin.
    int64_t firstFrameFor(double k) const
    {
        return std::max<int64_t>(static_cast<int64_t>(std::ceil(k * ratio)) - 1, 0);
    }

    // Samples k0 .. k0 + kBatch - 1 into `out`; fewer at the end of the input.
    int compute(double k0, int16_t* out)
    {
        zuk::outputPositions(k0, kBatch, ratio, inRate, outRate, ceilings.data(), fracs.data());
        // Positions at or past the frame count end the conversion; so does the
        // reader's end, when the input held fewer frames than its header claimed.
        const auto usable = static_cast<size_t>(
            std::lower_bound(ceilings.begin(), ceilings.end(), static_cast<double>(frames)) - ceilings.begin());
        int readResult = 0;
        const int count =
            static_cast<int>(reader.readMonoPairs(std::span(ceilings).first(usable), a.data(), b.data(), readResult));
        zuk::interpolate(count, fracs.data(), a.data(), b.data(), out);
        return count;
    }

private:
    ForwardAudioFileReader& reader;
    const double inRate;
    const double outRate;
    const double ratio;
    const int64_t frames;
    std::vector<double> ceilings;
    std::vector<double> fracs;
    std::vector<int16_t> a;
    std::vector<int16_t> b;
};

// A piece of the output on a reader of its own.
class SoundFilePieces final : public PieceReader {
public:
    SoundFilePieces(const zuk_char* input, int32_t outputRate, bool reportsProgress)
        : outRate(outputRate), withProgress(reportsProgress)
    {
        opened = reader.openFile(input) == 0 && reader.sampleRate() > 0;
    }

    bool read(int64_t first, int64_t count, Piece& piece) override
    {
        OutputBatches batches(reader, outRate);
        const auto k0 = static_cast<double>(first);
        if (!opened || !reader.skipTo(batches.firstFrameFor(k0)))
            return false;
        // Reports are kept with their batch: those of the batches read past
        // the piece's end (a whole number of batches) are the next piece's.
        int64_t at = 0;
        std::function<void(float)> record;
        if (withProgress)
            record = [&](float percent) { piece.progress.push_back({at, percent}); };
        ProgressSteps steps(record, reader.frameCount());
        for (double k = k0; batches.fits(k) && k < k0 + static_cast<double>(count); k += kBatch) {
            if (stopRequested())
                return false;
            const size_t before = piece.frames.size();
            const auto wanted = static_cast<int>(std::min<double>(kBatch, k0 + static_cast<double>(count) - k));
            piece.frames.resize(before + kBatch);
            const int made = batches.compute(k, piece.frames.data() + before);
            at = static_cast<int64_t>(before);
            steps.report(batches.positions(), 0, std::min(made, wanted));
            piece.frames.resize(before + static_cast<size_t>(std::min(made, wanted)));
            if (made < kBatch)
                break;
        }
        return true;
    }

private:
    ForwardAudioFileReader reader;
    int32_t outRate;
    bool withProgress;
    bool opened = false;
};

// Whether the input is worth converting on several threads: each reader of a
// float file would first read it all for its peak.
bool splits(const ForwardAudioFileReader& reader, int64_t outputFrames)
{
    return !reader.scalesFloat() && zuk::worthSplitting(outputFrames, zuk::decodeThreads());
}

zuk::SplitOutcome convertInPieces(
    const zuk_char* input, SNDFILE* out, ProgressCallback progress, int32_t outputRate, int64_t outputFrames)
{
    const auto open = [&]() -> std::unique_ptr<PieceReader> {
        return std::make_unique<SoundFilePieces>(input, outputRate, progress != nullptr);
    };
    const auto take = [&](std::span<const int16_t> frames, std::span<const zuk::ProgressMark> reports) {
        const auto count = static_cast<sf_count_t>(frames.size());
        if (sf_writef_short(out, frames.data(), count) != count)
            return false;
        for (const zuk::ProgressMark& report : reports)
            progress(report.percent);
        return true;
    };
    return zuk::runPieces(1, outputFrames, zuk::decodeThreads(), open, take);
}

// The whole output on the calling thread. Each batch ends where the output
// block fills, so the block is written between the progress of its last
// sample and that of the one before, as when samples are taken one at a time.
bool convertInOnePiece(ForwardAudioFileReader& reader, SNDFILE* out, ProgressCallback progress, int32_t outputRate)
{
    std::vector<int16_t> buffer(kOutputBlock);
    int fill = 0;
    const auto writeBuffer = [&] { return sf_writef_short(out, buffer.data(), fill) == fill; };
    OutputBatches batches(reader, outputRate);
    std::function<void(float)> report;
    if (progress != nullptr)
        report = [progress](float percent) { progress(percent); };
    ProgressSteps steps(report, reader.frameCount());
    bool writeFailed = false;
    for (double k0 = 0; batches.fits(k0); k0 += kBatch) {
        const int count = batches.compute(k0, buffer.data() + fill);
        fill += count;
        const bool blockFull = fill == kOutputBlock;
        steps.report(batches.positions(), 0, blockFull ? count - 1 : count);
        if (blockFull) {
            writeFailed = !writeBuffer();
            if (writeFailed)
                break;
            if (zuk::stopRequested())
                return false;
            fill = 0;
            steps.report(batches.positions(), count - 1, count);
        }
        if (count < kBatch)
            break;
    }
    // After a failed write too: the pending block is offered once more.
    const bool flushed = fill == 0 || writeBuffer();
    return flushed && !writeFailed;
}

int32_t resample(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t outputRate)
{
    if (outputRate <= 0 || zuk::refusesFiles({zuk::wideView(output)}, {zuk::wideView(input)}, LogString))
        return ZUK_E_OPEN;
    ForwardAudioFileReader reader;
    if (reader.openFile(input) != 0)
        return ZUK_E_OPEN;
    if (reader.sampleRate() <= 0)
        return ZUK_E_OPEN;

    // At most one output sample per step of ratio over the input's frames.
    const double estimate = std::ceil(static_cast<double>(reader.frameCount()) * outputRate / reader.sampleRate()) + 1;
    const int64_t outputFrames = estimate < 0x1p62 ? static_cast<int64_t>(estimate) : INT64_MAX;
    SF_INFO outInfo{};
    zuk::SoundFilePtr out = zuk::createPcm16Wav(output, outputRate, 1, outputFrames, outInfo);
    if (!out)
        return ZUK_E_OPEN;

    bool written = false;
    const bool split = splits(reader, outputFrames);
    const zuk::SplitOutcome outcome =
        split ? convertInPieces(input, out.get(), progress, outputRate, outputFrames) : zuk::SplitOutcome::NotExact;
    if (outcome == zuk::SplitOutcome::NotExact) {
        // Pieces that would not join exactly: the output starts again, in one piece.
        if (split) {
            out.reset();
            out = zuk::createPcm16Wav(output, outputRate, 1, outputFrames, outInfo);
        }
        written = out && convertInOnePiece(reader, out.get(), progress, outputRate);
    } else {
        written = outcome == zuk::SplitOutcome::Done;
    }
    reader.closeFile();
    const bool closed = zuk::closeSoundFile(out);
    return written && closed ? ZUK_OK : ZUK_E_WRITE;
}

int noProgress(float)
{
    return 0;
}

} // namespace

extern "C" ZUK_API int32_t resampleAudioWithRate(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t outputRate)
{
    return zuk::guardExport(
        "resampleAudioWithRate", int32_t{ZUK_E_OPEN}, [&] { return resample(input, output, progress, outputRate); });
}

extern "C" ZUK_API int32_t resampleAudio(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return resampleAudioWithRate(input, output, progress, 48000);
}

extern "C" ZUK_API int32_t ConvertToWav(const zuk_char* input, const zuk_char* output, float rate)
{
    const double whole = std::trunc(static_cast<double>(rate));
    if (!(whole >= 1.0 && whole <= std::numeric_limits<int32_t>::max()))
        return ZUK_E_OPEN;
    return resampleAudioWithRate(input, output, noProgress, static_cast<int32_t>(whole));
}
