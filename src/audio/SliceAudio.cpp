#include "audio/ClipTools.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <algorithm>

namespace zuk {

namespace {

// The most frames a slice of `input` writes: the lead, the part of the range
// that the input holds, and silence up to the total.
int64_t sliceFrames(const SF_INFO& input, const SliceTimes& times)
{
    const int rate = input.samplerate;
    const int64_t lead = std::max<int64_t>(framesAt(times.lead, rate, false).value_or(0), 0);
    const int64_t start = std::max<int64_t>(framesAt(times.start, rate, false).value_or(0), 0);
    const int64_t end = std::min<int64_t>(framesAt(times.end, rate, true).value_or(0), input.frames);
    const int64_t copied = std::max<int64_t>(end - start, 0);
    const int64_t total = framesAt(times.total, rate, true).value_or(0);
    return std::max(copied > INT64_MAX - lead ? INT64_MAX : lead + copied, total);
}

} // namespace

int openSlicePair(const zuk_char* inputPath, SoundFilePtr& input, SF_INFO& inputInfo, const zuk_char* outputPath,
    SoundFilePtr& output, SF_INFO& outputInfo, const SliceTimes& times, int32_t force16)
{
    inputInfo = SF_INFO{};
    if (refusesFiles({wideView(outputPath)}, {wideView(inputPath)}, LogString))
        return -1;
    input = openSoundFile(inputPath, SFM_READ, inputInfo);
    if (!input)
        return -1;
    outputInfo = SF_INFO{};
    outputInfo.channels = inputInfo.channels;
    outputInfo.samplerate = inputInfo.samplerate;
    outputInfo.format = formatHolding(force16 != 0 ? SF_FORMAT_WAV | SF_FORMAT_PCM_16 : inputInfo.format,
        inputInfo.channels, sliceFrames(inputInfo, times));
    if (outputInfo.format != 0)
        output = openSoundFile(outputPath, SFM_WRITE, outputInfo);
    if (!output) {
        input.reset();
        return -1;
    }
    return 0;
}

namespace {

int32_t slice(const zuk_char* inputPath, double lead, const zuk_char* outputPath, double start, double end,
    double total, int32_t force16)
{
    SoundFilePtr input;
    SoundFilePtr output;
    SF_INFO inputInfo;
    SF_INFO outputInfo;
    if (openSlicePair(
            inputPath, input, inputInfo, outputPath, output, outputInfo, {lead, start, end, total}, force16) != 0)
        return ZUK_E_OPEN;
    const int rate = inputInfo.samplerate;

    const auto leadFrames = framesAt(lead, rate, false);
    const auto totalFrames = framesAt(total, rate, true);
    if (!leadFrames || !totalFrames)
        return ZUK_E_OPEN;
    int64_t written = 0;
    if (*leadFrames > 0) {
        written = writeSilence(output.get(), *leadFrames, outputInfo);
        if (written < 0)
            return ZUK_E_OPEN;
    }

    const int64_t copied = Helper_CopyAudioSec(input.get(), output.get(), start, end, inputInfo);
    if (copied < 0)
        return ZUK_E_OPEN;

    // Silence up to the total length; nothing is cut when the output is longer.
    if (*totalFrames > copied && *totalFrames - copied > written) {
        if (writeSilence(output.get(), *totalFrames - copied - written, outputInfo) < 0)
            return ZUK_E_OPEN;
    }

    input.reset();
    return closeSoundFile(output) ? ZUK_OK : ZUK_E_OPEN;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t sliceAudioWithPadding(
    const zuk_char* input, double lead, const zuk_char* output, double start, double end, double total, int32_t force16)
{
    return zuk::guardExport("sliceAudioWithPadding", int32_t{ZUK_E_OPEN},
        [&] { return zuk::slice(input, lead, output, start, end, total, force16); });
}

extern "C" ZUK_API int32_t sliceAudio(
    const zuk_char* input, const zuk_char* output, double start, double end, int32_t force16)
{
    return sliceAudioWithPadding(input, 0.0, output, start, end, end - start, force16);
}
