// MTSExtract and MTSExtract2: the sound of a camcorder transport stream as the
// standard WAV. The audio is first lifted out into `output`+".mp2" (through
// `output`+".mp2.m2v"), which the general back ends then decode. Both files
// stay on disk. Each file is cleared before the step that writes it, so that
// a step that fails or writes nothing leaves nothing of an earlier run to be
// decoded as this stream's sound.
#include "log/Log.h"
#include "mts/MtsLog.h"
#include "mts/TsToMp2.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"

#include <zuk/zuk.h>

#include <string>
#include <vector>

namespace zuk {

namespace {

// Only the low byte of the flag counts.
bool isBdav(int32_t avchd)
{
    return (avchd & 0xFF) != 0;
}

// The files one call writes, all named after its output.
struct MtsFiles {
    explicit MtsFiles(const zuk_char* location)
        : output(wideView(location)), mp2(output + u".mp2"), pes(mp2 + u".m2v"), avi(output + u".avi")
    {
    }
    std::u16string output;
    std::u16string mp2;
    std::u16string pes;
    std::u16string avi; // MTSExtract only
};

bool refusesTheFiles(const zuk_char* input, const std::vector<std::u16string_view>& written)
{
    return refusesFiles(written, {wideView(input)}, LogString);
}

int32_t demultiplex(const zuk_char* input, const MtsFiles& files, bool bdav)
{
    const auto inputPath = pathFromWide(input);
    if (!inputPath)
        return ZUK_E_EXTRACT;
    // The output itself must name a file, or the intermediates would land
    // wherever ".mp2" alone leads.
    const auto mp2Path = pathFromWide(files.mp2.c_str());
    if (!pathFromWide(files.output.c_str()) || !mp2Path || !clearForWriting(files.pes))
        return ZUK_E_PES_FILE;
    if (!clearForWriting(files.mp2))
        return ZUK_E_WRITE;
    return EXTRACT_TS_TO_MP2(*inputPath, *mp2Path, bdav);
}

// A back end writing the output, from no output.
template <typename BackEnd>
int32_t fromNoOutput(const MtsFiles& files, BackEnd backEnd)
{
    return writtenAfresh(files.output, ZUK_E_WRITE, backEnd);
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

int32_t extractMts(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd)
{
    const MtsFiles files(output);
    if (refusesTheFiles(input, {files.output, files.mp2, files.pes, files.avi}))
        return ZUK_E_OPEN;
    const std::u16string& mp2 = files.mp2;
    const bool bdav = isBdav(avchd);
    setMtsLogger(LogString);
    const int32_t demultiplexed = demultiplex(input, files, bdav);
    if (demultiplexed < 0)
        return demultiplexed;

    if (mayTryQuickTime(bdav)) {
        const int32_t result = fromNoOutput(files, [&] { return Qtax_Extraction(mp2.c_str(), output, progress); });
        if (result >= 0)
            return extractionSucceeded(result);
    }
    LogString("ZUK: Attempting to use dsax. \n");
    const auto dsaxManaged = static_cast<uint8_t>(managed);
    int32_t result = fromNoOutput(files, [&] { return Dsax_Extraction(mp2.c_str(), output, dsaxManaged, progress); });
    if (result >= 0)
        return extractionSucceeded(result);

    LogString("ZUK: Attempting to send to ACM/AVI wrapper first. \n");
    // Only an AVI this call made is decoded; otherwise the decoder's answer
    // on the elementary stream stands.
    if (!clearForWriting(files.avi) || DecodeToAVIWrapper(mp2.c_str(), files.avi.c_str(), managed) < 0) {
        LogString("ZUK: ACM/AVI wrapper failed. \n");
        return result;
    }
    result = fromNoOutput(files, [&] { return Dsax_Extraction(files.avi.c_str(), output, dsaxManaged, progress); });
    if (result >= 0)
        extractionSucceeded(result);
    return result;
}

int32_t extractMts2(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd)
{
    const MtsFiles files(output);
    if (refusesTheFiles(input, {files.output, files.mp2, files.pes}))
        return ZUK_E_OPEN;
    const std::u16string& mp2 = files.mp2;
    const bool bdav = isBdav(avchd);
    const int32_t demultiplexed = demultiplex(input, files, bdav);
    // Set only now: the first call of a process demultiplexes without a log.
    setMtsLogger(LogString);
    if (demultiplexed != 0) {
        LogString("ZUK: Failed. \n");
        return ZUK_E_OPEN;
    }

    if (mayTryQuickTime(bdav) &&
        fromNoOutput(files, [&] { return Qtax_Extraction(mp2.c_str(), output, progress); }) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Attempting to use dsax. \n");
    if (fromNoOutput(
            files, [&] { return Dsax_Extraction(mp2.c_str(), output, static_cast<uint8_t>(managed), progress); }) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Attempting to use mfax. \n");
    if (fromNoOutput(files, [&] { return mfax_extract_wrapper(mp2.c_str(), output, progress); }) >= 0)
        return extractionSucceeded(ZUK_OK);
    LogString("ZUK: Could not extract audio. \n");
    return ZUK_E_EXTRACT;
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t MTSExtract(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd)
{
    return zuk::guardExport(
        "MTSExtract", int32_t{ZUK_E_EXTRACT}, [&] { return zuk::extractMts(input, output, progress, managed, avchd); });
}

extern "C" ZUK_API int32_t MTSExtract2(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd)
{
    return zuk::guardExport("MTSExtract2", int32_t{ZUK_E_EXTRACT},
        [&] { return zuk::extractMts2(input, output, progress, managed, avchd); });
}
