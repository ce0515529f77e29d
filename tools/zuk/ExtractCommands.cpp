// extract and quicktime-installed: whole media files to the standard WAV.
#include "CommandLine.h"
#include "FileOperation.h"

#include "api/Location.h"

#include <zuk/zuk.h>

#include <cstdio>

namespace zukcli {

namespace {

// The file a location names once the library has decoded it (a file:// URL
// names a path); text that is not UTF-8 stays as it is.
std::string fileNamedBy(const std::string& location)
{
    const auto wide = zuk::utf8ToUtf16(location);
    if (!wide)
        return location;
    return zuk::utf16ToUtf8(zuk::normaliseLocation(*wide)).value_or(location);
}

int extractCommand(const Invocation& call)
{
    const bool managed = call.has("dotnet");
    return runWithProgress(
        call,
        [&](const std::u16string& in, const std::u16string& out) {
            return managed ? Extract_DotNet(in.c_str(), out.c_str(), reportProgress)
                           : Extract(in.c_str(), out.c_str(), reportProgress);
        },
        fileNamedBy);
}

int quickTimeInstalledCommand(const Invocation&)
{
    if (QuickTime_Installed() == ZUK_OK) {
        std::printf("QuickTime is installed\n");
        return 0;
    }
    std::printf("QuickTime is not installed (libQTMLClient.so not found)\n");
    return kExitFailure;
}

const Command extractInfo{
    "extract", "write the sound of a media file as a mono 16-bit 48000 Hz WAV",
    "usage: zuk extract IN OUT [--dotnet]\n"
    "\n"
    "Writes the sound of IN to OUT as a mono 16-bit PCM WAV at 48000 Hz. IN and\n"
    "OUT are paths or file:// URLs (file:///home/me/My%20Clips/take.mov).\n"
    "The extension of IN picks the back end: .wav is resampled; .mp3, .aif and\n"
    ".aiff go to the QuickTime back end, .r3d to the R3D back end; anything\n"
    "else is resampled when libsndfile reads it, or else tried by the QuickTime\n"
    "and Media Foundation back ends in turn. Those back ends are optional\n"
    "libraries (libdornalt.so, libvostrin.so, liblurrow.so), found beside\n"
    "libzuk.so or on the loader's path.\n"
    "\n"
    "--dotnet  enter through Extract_DotNet, as managed hosts do\n",
    2, {}, {"dotnet"}, extractCommand};

const Command quickTimeInstalledInfo{
    "quicktime-installed", "tell whether QuickTime is installed (exit 0 if so)",
    "usage: zuk quicktime-installed\n"
    "\n"
    "Says whether libQTMLClient.so can be loaded; the exit status is 0 when it\n"
    "can, 1 when not.\n",
    0, {}, {}, quickTimeInstalledCommand};

} // namespace

std::vector<Command> extractCommands()
{
    return {extractInfo, quickTimeInstalledInfo};
}

} // namespace zukcli
