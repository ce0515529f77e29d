// mts-extract and ts-audio: camcorder transport streams, whole or only their
// demultiplexing stage.
#include "CommandLine.h"
#include "FileOperation.h"
#include "OutputName.h"

#include <zuk/zuk.h>

#include <sys/stat.h>

#include <cstdio>

namespace zukcli {

namespace {

int mtsExtractCommand(const Invocation& call)
{
    const int32_t avchd = call.has("avchd") ? 1 : 0;
    checkOutputNamesWav(call.positional.at(1));
    return runWithProgress(call, [&](const std::u16string& in, const std::u16string& out) {
        return MTSExtract(in.c_str(), out.c_str(), reportProgress, 0, avchd);
    });
}

void describeBytesOf(const std::string& path, const char* what)
{
    struct stat status { };
    if (stat(path.c_str(), &status) == 0)
        note("%s: %s, %lld bytes\n", path.c_str(), what, static_cast<long long>(status.st_size));
}

int tsAudioCommand(const Invocation& call)
{
    const std::string& input = call.positional.at(0);
    const std::string& output = call.positional.at(1);
    const int32_t result = zuk_ts_audio(widePath(input).c_str(), widePath(output).c_str(), call.has("bdav") ? 1 : 0);
    if (result < 0)
        return reportFailure(call.command, result, input, output);
    describeBytesOf(output, "elementary stream");
    // The PES file is named after the output, as zuk.h gives it.
    describeBytesOf(output + ".m2v", "PES packets of the audio PID");
    return 0;
}

const Command mtsExtractInfo{"mts-extract", "write the sound of a camcorder transport stream as the standard WAV",
    "usage: zuk mts-extract IN OUT [--avchd]\n"
    "\n"
    "Lifts the audio of the transport stream IN into OUT.mp2 (by way of the PES\n"
    "file OUT.mp2.m2v; both stay), then decodes that to OUT, a mono 16-bit PCM\n"
    "WAV at 48000 Hz: through the QuickTime back end, the library's own decoder,\n"
    "or the decoder on OUT.avi, which that file is first rewrapped into.\n"
    "--avchd  IN is made of 192-byte BDAV units (.mts, .m2ts), not of 188-byte\n"
    "         packets (.m2t); the QuickTime back end is then not tried\n",
    2, {}, {"avchd"}, mtsExtractCommand};

const Command tsAudioInfo{"ts-audio", "lift the audio stream of a transport stream out, undecoded",
    "usage: zuk ts-audio IN OUT.mp2 [--bdav]\n"
    "\n"
    "Finds the audio stream of the transport stream IN, through its program\n"
    "tables or else by its packets, and writes the payloads of its packets to\n"
    "OUT.mp2.m2v, then the elementary stream those PES packets carry (MPEG\n"
    "audio, AC-3, AAC, ...) to OUT.mp2.\n"
    "--bdav  IN is made of 192-byte BDAV units (.mts, .m2ts)\n",
    2, {}, {"bdav"}, tsAudioCommand};

} // namespace

std::vector<Command> transportCommands()
{
    return {mtsExtractInfo, tsAudioInfo};
}

} // namespace zukcli
