#include "audio/ForwardAudioFileReader.h"
#include "audio/ResampleKernel.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SoundFile.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr int kOutputBlock = 10240;
constexpr int kBatch = 1024; // output samples computed together; divides kOutputBlock
constexpr int64_t kProgressStep = 20000;

// Calls progress at every output sample whose input position is a multiple
// of the step, with the share of the input's frames that position stands for.
class ProgressSteps {
public:
    ProgressSteps(ProgressCallback callback, int64_t frameCount) : progress(callback), frames(frameCount) { }

    // Output samples first .. last - 1 of a batch, in order.
    void report(const double* ceilings, int first, int last)
    {
        if (progress == nullptr)
            return;
        for (int i = first; i < last; ++i) {
            const auto pos = static_cast<int64_t>(ceilings[i]);
            if (pos < next)
                continue;
            if (pos % kProgressStep == 0) {
                progress(static_cast<float>(ceilings[i] * 100.0 / static_cast<double>(frames)));
                next = pos; // a position that serves several samples reports for each
            } else {
                next = (pos / kProgressStep + 1) * kProgressStep;
            }
        }
    }

private:
    ProgressCallback progress;
    int64_t frames;
    int64_t next = 0;
};

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
    const double outputFrames =
        std::ceil(static_cast<double>(reader.frameCount()) * outputRate / reader.sampleRate()) + 1;
    SF_INFO outInfo{};
    zuk::SoundFilePtr out = zuk::createPcm16Wav(
        output, outputRate, 1, outputFrames < 0x1p62 ? static_cast<int64_t>(outputFrames) : INT64_MAX, outInfo);
    if (!out) {
        reader.closeFile();
        return ZUK_E_OPEN;
    }

    std::vector<int16_t> buffer(kOutputBlock);
    int fill = 0;
    bool writeFailed = false;
    const auto writeBuffer = [&] {
        if (sf_writef_short(out.get(), buffer.data(), fill) != fill)
            writeFailed = true;
    };

    const double inRate = reader.sampleRate();
    const double outRate = outputRate;
    const double ratio = inRate / outRate;
    const int64_t frames = reader.frameCount();
    std::vector<double> ceilings(kBatch);
    std::vector<double> fracs(kBatch);
    std::vector<int16_t> a(kBatch);
    std::vector<int16_t> b(kBatch);
    ProgressSteps steps(progress, frames);
    // Output sample k lies at k * ratio on the input's time axis. Each batch
    // ends where the output block fills, so the block is written between the
    // progress of its last sample and that of the one before, as when samples
    // are taken one at a time.
    for (double k0 = 0;; k0 += kBatch) {
        if (!((k0 + kBatch) * ratio < 0x1p52))
            break;
        zuk::outputPositions(k0, kBatch, ratio, inRate, outRate, ceilings.data(), fracs.data());
        // Positions at or past the frame count end the conversion; so does the
        // reader's end, when the input held fewer frames than its header claimed.
        const auto usable = static_cast<size_t>(
            std::lower_bound(ceilings.begin(), ceilings.end(), static_cast<double>(frames)) - ceilings.begin());
        int readResult = 0;
        const int count =
            static_cast<int>(reader.readMonoPairs(std::span(ceilings).first(usable), a.data(), b.data(), readResult));
        const bool ended = count < kBatch;
        zuk::interpolate(count, fracs.data(), a.data(), b.data(), buffer.data() + fill);
        fill += count;
        const bool blockFull = fill == kOutputBlock;
        steps.report(ceilings.data(), 0, blockFull ? count - 1 : count);
        if (blockFull) {
            writeBuffer();
            if (writeFailed)
                break;
            fill = 0;
            steps.report(ceilings.data(), count - 1, count);
        }
        if (ended)
            break;
    }
    if (fill != 0)
        writeBuffer();

    reader.closeFile();
    if (!zuk::closeSoundFile(out))
        writeFailed = true;
    return writeFailed ? ZUK_E_WRITE : ZUK_OK;
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
