// extract and quicktime-installed: whole media files to the standard WAV.
#include "CommandLine.h"
#include "ExtractBatch.h"
#include "FileOperation.h"
#include "OutputName.h"

#include <zuk/batch.h>
#include <zuk/zuk.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace zukcli {

namespace {

int extractCommand(const Invocation& call)
{
    if (call.value("outdir") != nullptr)
        return extractBatchCommand(call);
    if (call.positional.size() != 2)
        wrongArgumentCount(2, call.positional.size());
    if (call.value("report") != nullptr)
        throw UsageError{"--report applies to --outdir"};
    for (const std::string_view flag : {"recursive", "force"})
        if (call.has(flag))
            throw UsageError{"--" + std::string(flag) + " applies to --outdir"};
    const uint8_t managed = call.has("dotnet") ? 1 : 0;
    const bool stereo = call.has("stereo");
    checkOutputNamesWav(call.positional.at(1));
    zuk_set_extract_threads(jobsOption(call));
    return runWithProgress(call, [&](const std::u16string& in, const std::u16string& out) {
        if (stereo)
            return Dsax_ExtractionStereo(in.c_str(), out.c_str(), managed, reportProgress);
        return managed ? Extract_DotNet(in.c_str(), out.c_str(), reportProgress)
                       : Extract(in.c_str(), out.c_str(), reportProgress);
    });
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

const Command extractInfo{"extract", "write the sound of a media file as a mono 16-bit 48000 Hz WAV",
    "usage: zuk extract IN OUT [--dotnet] [--stereo] [-j N | --jobs N]\n"
    "       zuk extract IN... --outdir DIR [--recursive] [-j N | --jobs N] [--force]\n"
    "                   [--report FILE]\n"
    "\n"
    "Writes the sound of IN to OUT as a mono 16-bit PCM WAV at 48000 Hz. IN and\n"
    "OUT are paths or file:// URLs (file:///home/me/My%20Clips/take.mov).\n"
    "The extension of IN picks the back end: .wav is resampled; .mp3, .aif and\n"
    ".aiff go to the QuickTime back end, .r3d to the R3D back end; anything\n"
    "else is resampled when libsndfile reads it, or else tried in turn by the\n"
    "QuickTime back end, the library's own decoder (any file FFmpeg reads: MOV,\n"
    "MP4, MKV, WebM, AVI, MPEG, ...) and the Media Foundation back end. The\n"
    "QuickTime, Media Foundation and R3D back ends are optional libraries\n"
    "(libdornalt.so, libvostrin.so, liblurrow.so), found beside libzuk.so or on\n"
    "the loader's path.\n"
    "\n"
    "The library's own decoder makes OUT exactly as long as the sound, then pads\n"
    "it with silence to a whole number of video frames; a file without video is\n"
    "written unpadded, which is still a success (result 2, noted on stderr).\n"
    "\n"
    "--dotnet  enter as managed hosts do (Extract_DotNet; with --stereo, the\n"
    "          managed flag of Dsax_ExtractionStereo)\n"
    "--stereo  write the first two channels (a mono sound twice) as a stereo\n"
    "          WAV, always through the library's own decoder\n"
    "\n"
    "With --outdir, each IN is extracted to DIR/NAME.wav, NAME being its file\n"
    "name without the extension; inputs of the same name keep their folders\n"
    "below the deepest one they share (DIR/day1/take.wav), and then their\n"
    "extension (DIR/take.mov.wav). Several files are extracted at once. An\n"
    "output appears only when complete; one already there and not older than\n"
    "its input is skipped. One line on stderr tells the progress of all, then a\n"
    "summary names each input that failed. The exit status is 0 only when\n"
    "every input succeeded; Ctrl-C stops the batch, leaving only complete\n"
    "outputs, says \"interrupted\" and exits with 130.\n"
    "\n"
    "--outdir DIR   the folder of the outputs, made as needed\n"
    "--recursive    take the media files (by extension: mov, mp4, mkv, wav, ...)\n"
    "               at any depth in each IN that is a folder\n"
    "-j, --jobs N   files extracted at once (default, or 0: one per core); with\n"
    "               one IN and OUT, the cores a long file is decoded on, where\n"
    "               that gives the same output (1: always in one piece)\n"
    "--force        extract again over complete outputs\n"
    "--report FILE  one JSON line per input: input, output, result, result_text,\n"
    "               skipped, audio_seconds, wall_seconds\n",
    0, {"outdir", "jobs", "report"}, {"dotnet", "stereo", "recursive", "force"}, extractCommand, SIZE_MAX,
    {{"-j", "jobs"}}};

const Command quickTimeInstalledInfo{"quicktime-installed", "tell whether QuickTime is installed (exit 0 if so)",
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
