// Extract and Extract_DotNet: the sound of any media file as the standard WAV.
// The input's extension picks a back end; what no extension settles goes
// through the chain of back ends until one succeeds.
#include "api/Extraction.h"
#include "api/Location.h"
#include "api/Mp4Route.h"
#include "audio/IsSoundFile.h"
#include "log/Log.h"
#include "mts/TransportUnits.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"
#include "platform/WorkControl.h"

#include <zuk/batch.h>
#include <zuk/zuk.h>

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuk {

namespace {

constexpr int32_t kStandardRate = 48000;

enum class Route { Resample, QuickTime, R3d, TransportStream, BdavStream, Mpeg };

struct RouteEntry {
    std::u16string_view extension;
    Route route;
};

// Tested in this order; the first match decides.
constexpr RouteEntry kRoutingTable[] = {
    {u".wav", Route::Resample},
    {u".mp3", Route::QuickTime},
    {u".aif", Route::QuickTime},
    {u".aiff", Route::QuickTime},
    {u".r3d", Route::R3d},
    {u".m2t", Route::TransportStream},
    {u".mts", Route::BdavStream},
    {u".m2ts", Route::BdavStream},
    {u".mpg", Route::Mpeg},
    {u".mpeg", Route::Mpeg},
};

struct Locations {
    const zuk_char* callerInput; // as given: the R3D back end takes these
    const zuk_char* callerOutput;
    std::u16string input; // normalised
    std::u16string output;
    // Of the caller's input: ".mp4" inputs that the chain cannot read are unwrapped.
    std::optional<std::u16string_view> extension;
};

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

// From the last dot of the whole text to its end, dot included; the dot may
// lie in a folder name.
std::optional<std::u16string_view> extensionOf(std::u16string_view location)
{
    const size_t dot = location.rfind(u'.');
    if (dot == std::u16string_view::npos)
        return std::nullopt;
    return location.substr(dot);
}

std::optional<Route> routeFor(std::optional<std::u16string_view> extension)
{
    if (!extension)
        return std::nullopt;
    for (const RouteEntry& entry : kRoutingTable)
        if (equalsIgnoringCase(*extension, entry.extension))
            return entry.route;
    return std::nullopt;
}

bool isMp4(std::optional<std::u16string_view> extension)
{
    return extension && equalsIgnoringCase(*extension, u".mp4");
}

// Every back end starts from no output: a success that wrote nothing must not
// find the output of an earlier run, or of a back end tried before, in its
// place. Output that cannot be cleared cannot be written either.
template <typename BackEnd>
int32_t fromNoOutput(const Locations& at, BackEnd backEnd)
{
    return writtenAfresh(at.output, ZUK_E_WRITE, backEnd);
}

int32_t extractionSucceeded(int32_t result)
{
    LogString("ZUK: Extraction success. \n");
    return result;
}

int32_t resampleSoundFile(const std::u16string& input, const std::u16string& output, ProgressCallback progress)
{
    LogString("ZUK: Is sound file.  Beginning Resampling. \n");
    const int32_t result = resampleAudioWithRate(input.c_str(), output.c_str(), progress, kStandardRate);
    LogString(result != 0 ? "ZUK: Resample failed. \n" : "ZUK: Resample success. \n");
    return result;
}

// Back ends in a fixed order until one succeeds. -7 says the output cannot be
// written, which no later back end would change.
int32_t runChain(const Locations& at, ProgressCallback progress, int32_t managed)
{
    if (isSoundFile(at.input.c_str()))
        return fromNoOutput(at, [&] { return resampleSoundFile(at.input, at.output, progress); });

    LogString("ZUK: Attempting to use qtax. \n");
    int32_t result = fromNoOutput(at, [&] { return Qtax_Extraction(at.input.c_str(), at.output.c_str(), progress); });
    if (result == ZUK_E_WRITE)
        return result;
    if (result >= 0)
        return extractionSucceeded(result);

    LogString("ZUK: Attempting to use dsax. \n");
    result = fromNoOutput(at,
        [&] { return Dsax_Extraction(at.input.c_str(), at.output.c_str(), static_cast<uint8_t>(managed), progress); });
    if (result == ZUK_E_WRITE)
        return result;
    if (result >= 0)
        return extractionSucceeded(result);

    LogString("ZUK: Attempting to use mfax. \n");
    result = fromNoOutput(at, [&] { return mfax_extract_wrapper(at.input.c_str(), at.output.c_str(), progress); });
    if (result >= 0)
        return extractionSucceeded(result);

    LogString("ZUK: Could not extract audio. \n");
    if (isMp4(at.extension))
        return fromNoOutput(at, [&] { return runMp4Route(at.input, at.output, progress); });
    return ZUK_E_EXTRACT;
}

// MPEG program streams are first rewrapped: their audio, decoded, as the only
// stream of an AVI beside the output, which the chain then reads. The
// extension stays the caller's, so the MP4 route is never taken for it.
int32_t runMpegRoute(const Locations& at, ProgressCallback progress, int32_t managed)
{
    const std::u16string avi = at.output + u".avi";
    if (!clearForWriting(avi) || DecodeToAVIWrapper(at.input.c_str(), avi.c_str(), managed) < 0)
        return ZUK_E_EXTRACT;
    LogString("Avi file created, changing input name to avi file\n");
    LogString("Falling through to regular extraction\n");
    Locations fromAvi = at;
    fromAvi.input = avi;
    return runChain(fromAvi, progress, managed);
}

// Camcorders write BDAV units under either name, and muxers write plain
// packets under any; the extension decides only when the bytes do not.
int32_t bdavFlagFor(Route route, const Locations& at)
{
    std::optional<bool> bdav;
    if (const auto path = pathFromWide(at.input.c_str()))
        bdav = bdavFramingOfFile(*path);
    return bdav.value_or(route == Route::BdavStream) ? 1 : 0;
}

// The transport-stream extractor clears its own files, the output among them.
int32_t runRoute(Route route, const Locations& at, ProgressCallback progress, int32_t managed)
{
    switch (route) {
    case Route::Mpeg:
        return runMpegRoute(at, progress, managed);
    case Route::Resample:
        return fromNoOutput(
            at, [&] { return resampleAudioWithRate(at.input.c_str(), at.output.c_str(), progress, kStandardRate); });
    case Route::QuickTime:
        return fromNoOutput(at, [&] { return Qtax_Extraction(at.input.c_str(), at.output.c_str(), progress); });
    case Route::R3d:
        return fromNoOutput(
            at, [&] { return R3DResample(at.callerInput, at.callerOutput, progress) == 0 ? ZUK_OK : ZUK_E_EXTRACT; });
    case Route::TransportStream:
    case Route::BdavStream:
        return MTSExtract(at.input.c_str(), at.output.c_str(), progress, managed, bdavFlagFor(route, at));
    }
    return ZUK_E_EXTRACT;
}

// The files this call writes itself: the output and its route's intermediate.
std::vector<std::u16string> filesWritten(const Locations& at, std::optional<Route> route)
{
    std::vector<std::u16string> files{at.output};
    if (route == Route::Mpeg)
        files.push_back(at.output + u".avi");
    else if (!route && isMp4(at.extension))
        files.push_back(at.output + u"2.wav");
    return files;
}

// The managed flag tells back ends that drive media graphs to leave COM
// set-up to the host.
int32_t Extract_core(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed)
{
    if (input == nullptr || output == nullptr) {
        LogString("ZUK: Error. No input or no output location given\n");
        return ZUK_E_OPEN;
    }
    const Locations at{input, output, normaliseLocation(wideView(input)), normaliseLocation(wideView(output)),
        extensionOf(wideView(input))};
    LogString("ZUK: Entered Audio Extract_core command \n");
    const auto route = routeFor(at.extension);
    const std::vector<std::u16string> written = filesWritten(at, route);
    if (refusesFiles({written.begin(), written.end()}, {at.input}, LogString))
        return ZUK_E_OPEN;
    if (route)
        return runRoute(*route, at, progress, managed);
    return runChain(at, progress, managed);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Whether a file stands at the location: back ends may report success and
// still have written nothing. A file URL is checked at the path it names.
bool outputExists(const zuk_char* output)
{
    const auto path = pathFromWide(normaliseLocation(wideView(output)).c_str());
    struct stat found { };
    if (!path || stat(path->c_str(), &found) != 0)
        return false;
    // Devices and pipes are taken as they are: /dev/null is always empty,
    // and opening a pipe would wait for a writer.
    if (!S_ISREG(found.st_mode))
        return true;
    // An empty file (the target of a link, emptied before the run) holds
    // nothing this call wrote.
    return found.st_size > 0 && std::unique_ptr<std::FILE, FileCloser>(std::fopen(path->c_str(), "rb")) != nullptr;
}

} // namespace

int32_t extractAndCheck(const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed)
{
    const int32_t result = Extract_core(input, output, progress, managed);
    if (result < 0)
        return result;
    if (!outputExists(output)) {
        LogString("ZUK: Error. Extraction reported success but no file found\n");
        return ZUK_E_EXTRACT;
    }
    return result;
}

} // namespace zuk

extern "C" ZUK_API int32_t Extract(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return zuk::guardExport("Extract", int32_t{ZUK_E_EXTRACT}, [&] {
        LogString("ZUK: Entered Audio Extract\n");
        LogString("ZUK:  \n");
        return zuk::extractAndCheck(input, output, progress, 0);
    });
}

extern "C" ZUK_API int32_t Extract_DotNet(const zuk_char* input, const zuk_char* output, ProgressCallback progress)
{
    return zuk::guardExport("Extract_DotNet", int32_t{ZUK_E_EXTRACT}, [&] {
        LogString("ZUK: Entered Audio Extract_DotNet\n");
        return zuk::extractAndCheck(input, output, progress, 1);
    });
}

extern "C" ZUK_API void zuk_set_extract_threads(int32_t threads)
{
    zuk::setProcessDecodeThreads(threads);
}
