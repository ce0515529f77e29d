// mp4-dump and mp4-unwrap: the box tree of an MP4 or QuickTime file, and its
// uncompressed sound lifted out without decoding.
#include "CommandLine.h"
#include "FailureCause.h"
#include "OutputName.h"
#include "Paths.h"
#include "Report.h"

#include <zuk/zuk.h>

#include <cstdio>

namespace zukcli {

namespace {

int mp4DumpCommand(const Invocation& call)
{
    const std::string& input = call.positional.at(0);
    // Refused here first, so that the refusal is told once, as the cause,
    // rather than logged by the library too.
    if (!refusalCause(input, "").empty())
        return reportFailure(call.command, ZUK_E_OPEN, input, "");
    uint8_t hasMovie = 0;
    if (zuk_mp4_dump(widePath(input).c_str(), stdout, &hasMovie) == ZUK_E_OPEN)
        return reportFailure(call.command, ZUK_E_OPEN, input, "");
    if (hasMovie == 0) {
        std::fprintf(stderr, "zuk mp4-dump: %s holds no movie box\n", input.c_str());
        return kExitFailure;
    }
    return 0;
}

int mp4UnwrapCommand(const Invocation& call)
{
    const std::string& input = call.positional.at(0);
    const std::string& output = call.positional.at(1);
    checkOutputNamesWav(output);
    if (!refusalCause(input, output).empty())
        return reportFailure(call.command, ZUK_E_OPEN, input, output);
    const int32_t result = zuk_mp4_unwrap(widePath(input).c_str(), widePath(output).c_str());
    if (result < 0)
        return reportFailure(call.command, result, input, output);
    describeWrittenFile(output);
    return 0;
}

const Command mp4DumpInfo{"mp4-dump", "print the box tree of an MP4 or QuickTime file",
    "usage: zuk mp4-dump FILE\n"
    "\n"
    "Prints every top-level box of FILE, and the movie box with all the boxes\n"
    "inside it, as the MP4 unwrapper parses them. --verbose also shows the\n"
    "parser's commentary on stderr. Exit status 1 when FILE holds no movie box.\n",
    1, {}, {}, mp4DumpCommand};

const Command mp4UnwrapInfo{"mp4-unwrap", "copy the uncompressed sound of an MP4/QuickTime file to a WAV",
    "usage: zuk mp4-unwrap FILE OUT\n"
    "\n"
    "Copies the samples of the first sound track of FILE to OUT, a 16-bit PCM\n"
    "WAV at the track's rate and channels, without decoding. The track must\n"
    "hold integer PCM (twos, sowt, raw, in24, in32): 8-bit samples are scaled\n"
    "up, 24- and 32-bit samples keep their top 16 bits. Chunk offsets must be\n"
    "32-bit (no co64). When a chunk lies past the end of FILE, the audio up to\n"
    "there stays in OUT and the command fails.\n",
    2, {}, {}, mp4UnwrapCommand};

} // namespace

std::vector<Command> mp4Commands()
{
    return {mp4DumpInfo, mp4UnwrapInfo};
}

} // namespace zukcli
