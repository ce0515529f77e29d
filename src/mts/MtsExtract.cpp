// MTSExtract and MTSExtract2: the sound of a camcorder transport stream as the
// standard WAV. The audio is first lifted out into `output`+".mp2" (through
// `output`+".mp2.m2v"), which the general back ends then decode. Both files
// stay on disk.
#include "log/Log.h"
#include "mts/MtsLog.h"
#include "mts/TsToMp2.h"
#include "platform/ExportGuard.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <string>

namespace zuk {

namespace {

// Only the low byte of the flag counts.
bool isBdav(int32_t avchd)
{
    return (avchd & 0xFF) != 0;
}

std::u16string withSuffix(const zuk_char* location, std::u16string_view suffix)
{
    return std::u16string(wideView(location)).append(suffix);
}

int32_t demultiplex(const zuk_char* input, const zuk_char* output, const std::u16string& mp2, bool bdav)
{
    const auto inputPath = pathFromWide(input);
    if (!inputPath)
        return ZUK_E_EXTRACT;
    // The output itself must name a file, or the intermediates would land
    // wherever ".mp2" alone leads.
    const auto mp2Path = pathFromWide(mp2.c_str());
    if (!pathFromWide(output) || !mp2Path)
        return ZUK_E_PES_FILE;
    return EXTRACT_TS_TO_MP2(*inputPath, *mp2Path, bdav);
}

int32_t extractionSucceeded(int32_t result)
{
    LogString("ZUK: Extraction success. \n");
    return result;
}

// False when the QuickTime back end is to be left out: it turns AC-3, which
// BDAV streams carry, into silence.
bool mayTryQuickTime(bool bdav)
{
    LogString("ZUK: Attempting to use qtax. \n");
    if (bdav)
        LogString("ZUK: Ignoring qtax for AVCHD streams, because AC3 causes silent audio to be extracted\n");
    return !bdav;
}

int32_t extractMts(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed,
                   int32_t avchd)
{
    const std::u16string mp2 = withSuffix(output, u".mp2");
    const bool bdav = isBdav(avchd);
    setMtsLogger(LogString);
    const int32_t demultiplexed = demultiplex(input, output, mp2, bdav);
    if (demultiplexed < 0)
        return demultiplexed;

    if (mayTryQuickTime(bdav)) {
        const int32_t result = Qtax_Extraction(mp2.c_str(), output, progress);
        if (result >= 0)
            return extractionSucceeded(result);
    }
    LogString("ZUK: Attempting to use dsax. \n");
    const auto dsaxManaged = static_cast<uint8_t>(managed);
    int32_t result = Dsax_Extraction(mp2.c_str(), output, dsaxManaged, progress);
    if (result >= 0)
        return extractionSucceeded(result);

    LogString("ZUK: Attempting to send to ACM/AVI wrapper first. \n");
    const std::u16string avi = withSuffix(output, u".avi");
    DecodeToAVIWrapper(mp2.c_str(), avi.c_str(), managed);
    result = Dsax_Extraction(avi.c_str(), output, dsaxManaged, progress);
    if (result >= 0)
        extractionSucceeded(result);
    return result;
}

int32_t extractMts2(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed,
                    int32_t avchd)
{
    const std::u16string mp2 = withSuffix(output, u".mp2");
    const bool bdav = isBdav(avchd);
    const int32_t demultiplexed = demultiplex(input, output, mp2, bdav);
    // Set only now: the first call of a process demultiplexes without a log.
    setMtsLogger(LogString);
    if (demultiplexed != 0) {
        LogString("ZUK: Failed. \n");
        return ZUK_E_OPEN;
    }

    if (mayTryQuickTime(bdav) && Qtax_Extraction(mp2.c_str(), output, progress) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Attempting to use dsax. \n");
    if (Dsax_Extraction(mp2.c_str(), output, static_cast<uint8_t>(managed), progress) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Attempting to use mfax. \n");
    if (mfax_extract_wrapper(mp2.c_str(), output, progress) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Could not extract audio. \n");
    return ZUK_E_EXTRACT;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t MTSExtract(const zuk_char* input, const zuk_char* output, ProgressCallback progress,
                                      int32_t managed, int32_t avchd)
{
    return zuk::guardExport("MTSExtract", int32_t{ZUK_E_EXTRACT},
                            [&] { return zuk::extractMts(input, output, progress, managed, avchd); });
}

extern "C" ZUK_API int32_t MTSExtract2(const zuk_char* input, const zuk_char* output, ProgressCallback progress,
                                       int32_t managed, int32_t avchd)
{
    return zuk::guardExport("MTSExtract2", int32_t{ZUK_E_EXTRACT},
                            [&] { return zuk::extractMts2(input, output, progress, managed, avchd); });
}
