#include "api/Mp4Route.h"

#include "log/Log.h"
#include "mp4/Mp4Log.h"
#include "mp4/UnwrapMP4.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"

#include <fstream>

namespace zuk {

int32_t runMp4Route(const std::u16string& input, const std::u16string& output, ProgressCallback progress)
{
    LogString("ZUK:  Trying MP4 unwrapper\n");
    std::ifstream stream;
    if (const auto path = pathFromWide(input.c_str()))
        stream.open(*path, std::ios::binary);
    if (!stream.is_open()) {
        LogString("ZUK: Could not open MP4 file with ifstream\n");
        return ZUK_E_EXTRACT;
    }
    setMP4LogFunction(LogString);
    const std::u16string unwrapped = output + u"2.wav";
    // Cleared first: a WAV of an earlier run must not be resampled as this one's.
    int32_t result = writtenAfresh(unwrapped, ZUK_E_EXTRACT, [&] { return unwrapMP4(unwrapped.c_str(), stream); });
    if (result < 0) {
        LogString("ZUK:Error resampling\n");
    } else {
        LogString("ZUK:Resampling audio file\n");
        result = resampleAudio(unwrapped.c_str(), output.c_str(), progress);
    }
    return result;
}

} // namespace zuk
