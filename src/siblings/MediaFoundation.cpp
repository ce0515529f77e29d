// The Media Foundation back end: vostrin.dll decodes the container to a sound
// file beside the input ("temp1"); the resampler makes that the standard WAV
// ("temp2"), which is then padded with silence to whole video frames. Each
// file is cleared before the step that writes it, so that a step that fails
// or writes nothing leaves nothing of an earlier run to be read as this
// input's sound.
#include "audio/IsSoundFile.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/SharedLibrary.h"
#include "platform/SoundFile.h"
#include "platform/SystemVersion.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <cmath>
#include <optional>
#include <string>

namespace zuk {

namespace {

using ExtractAudioFunction = int32_t(const zuk_char*, const zuk_char*, ProgressCallback);
using GetFrameRateFunction = int32_t(const zuk_char*, uint32_t*, uint32_t*);

struct MfaxBinding {
    SharedLibrary library;
    ExtractAudioFunction* extractAudio;
    GetFrameRateFunction* getFrameRate;
};

std::optional<MfaxBinding> loadMfax()
{
    auto library = SharedLibrary::load("vostrin.dll");
    if (!library)
        return std::nullopt;
    auto* extractAudio = library->entryPoint<ExtractAudioFunction>("mfax_ExtractAudio");
    auto* getFrameRate = library->entryPoint<GetFrameRateFunction>("mfax_GetFrameRate");
    if (extractAudio == nullptr || getFrameRate == nullptr)
        return std::nullopt;
    return MfaxBinding{std::move(*library), extractAudio, getFrameRate};
}

void report(ProgressCallback progress, float percent)
{
    if (progress != nullptr)
        progress(percent);
}

struct AudioLength {
    double seconds = 0.0;
    double paddedSeconds = 0.0;
};

// The length of `frames` at `rate`, and that length rounded up to whole video
// frames of numerator/denominator per second. Without a usable frame rate
// the audio keeps its own length.
AudioLength lengthPaddedToVideoFrames(int64_t frames, int rate, uint32_t numerator, uint32_t denominator)
{
    const double f = static_cast<double>(frames);
    const double r = rate;
    const double seconds = f / r;
    if (numerator == 0 || denominator == 0)
        return {seconds, seconds};
    const double n = numerator;
    const double d = denominator;
    return {seconds, std::ceil(f * n / (r * d)) * (d / n)};
}

// The back end's own failure: its negative codes pass unchanged; a positive
// one, though the back end counts only 0 as success, must not reach callers
// that count every code from 0 up as one.
int32_t failureOfExtraction(int32_t result)
{
    if (result < 0)
        return result;
    LogString("ZUK_MFAX: Error. mfax_ExtractAudio failed with ");
    logNumber(result);
    LogString("\n");
    return ZUK_E_EXTRACT;
}

int32_t extractThroughMediaFoundation(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    const SystemVersion version = systemVersion();
    LogString("ZUK_MFAX: . \n");
    if (!isAtLeast61(version))
        return ZUK_E_UNSUPPORTED;
    if (wideView(input).empty() || wideView(output).empty())
        return ZUK_E_OPEN;
    const std::u16string source(wideView(input));
    const std::u16string decoded = source + u"temp1";
    const std::u16string resampled = source + u"temp2";
    if (refusesFiles({decoded, resampled, wideView(output)}, {source}, LogString))
        return ZUK_E_OPEN;
    if (isSoundFile(input))
        return ZUK_E_EXTRACT;
    const auto mfax = loadMfax();
    if (!mfax)
        return ZUK_E_OPEN;

    report(progress, 0.0f);
    if (const int32_t result =
            writtenAfresh(decoded, ZUK_E_OPEN, [&] { return mfax->extractAudio(input, decoded.c_str(), progress); });
        result != 0)
        return failureOfExtraction(result);
    if (const int32_t result = writtenAfresh(
            resampled, ZUK_E_OPEN, [&] { return resampleAudio(decoded.c_str(), resampled.c_str(), progress); });
        result != ZUK_OK)
        return result;

    uint32_t numerator = 0;
    uint32_t denominator = 0;
    mfax->getFrameRate(input, &numerator, &denominator);

    SF_INFO info{};
    if (!openSoundFile(resampled.c_str(), SFM_READ, info))
        return ZUK_E_OPEN;
    const AudioLength length = lengthPaddedToVideoFrames(info.frames, info.samplerate, numerator, denominator);
    const int32_t sliced = writtenAfresh(std::u16string(wideView(output)), ZUK_E_OPEN, [&] {
        return sliceAudioWithPadding(resampled.c_str(), 0.0, output, 0.0, length.seconds, length.paddedSeconds, 0);
    });
    if (sliced != ZUK_OK)
        return sliced;
    report(progress, 100.0f);
    return ZUK_OK;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t mfax_extract_wrapper(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return zuk::guardExport("mfax_extract_wrapper", int32_t{ZUK_E_EXTRACT},
        [&] { return zuk::extractThroughMediaFoundation(input, output, progress); });
}
