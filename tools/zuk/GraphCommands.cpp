// is-ac3, wrap-avi and replace-audio: the operations that build a media graph
// by hand. They answer HRESULTs, which are shown with their published texts.
#include "CommandLine.h"
#include "FailureCause.h"
#include "OutputName.h"
#include "Paths.h"
#include "Report.h"

#include <zuk/zuk.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zukcli {

namespace {

// One line: the HRESULT, its text, and a cause seen in the file system. The
// last argument of the command is its output, the others its inputs.
int reportHresult(const Invocation& call, int32_t hr)
{
    const std::string& output = call.positional.back();
    std::string cause;
    for (size_t i = 0; cause.empty() && i + 1 < call.positional.size(); ++i)
        cause = fileSystemCause(call.positional[i], output);
    std::fprintf(stderr, "zuk: %s failed: 0x%08X (%d): %s%s\n", call.command.c_str(), static_cast<uint32_t>(hr), hr,
        hresultMeaning(hr).c_str(), cause.empty() ? "" : ("; " + cause).c_str());
    return kExitFailure;
}

void describeWrittenAvi(const std::string& path)
{
    struct stat status { };
    if (stat(path.c_str(), &status) == 0)
        note("%s: AVI, %lld bytes\n", path.c_str(), static_cast<long long>(status.st_size));
}

// Whether `path` can be opened for reading; says why not on stderr.
bool readable(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        std::fprintf(stderr, "zuk: cannot read %s: %s\n", path.c_str(), std::strerror(errno));
        return false;
    }
    close(fd);
    return true;
}

// As grep answers: 0 an AC-3 stream, 1 not one, 2 the file cannot be read.
int isAc3Command(const Invocation& call)
{
    if (!readable(call.positional.at(0)))
        return kExitUsage;
    uint8_t found = 0;
    const int32_t hr = isAC3(widePath(call.positional.at(0)).c_str(), call.has("dotnet") ? 1 : 0, &found);
    if (found != 0) {
        std::printf("%s: AC-3 stream\n", call.positional[0].c_str());
        return 0;
    }
    std::printf("%s: not an AC-3 stream (0x%08X: %s)\n", call.positional[0].c_str(), static_cast<uint32_t>(hr),
        hresultMeaning(hr).c_str());
    return kExitFailure;
}

int wrapAviCommand(const Invocation& call)
{
    const std::string& output = call.positional.at(1);
    checkOutputNames(output, "an AVI file", {"avi"});
    const int32_t hr = DecodeToAVIWrapper(
        widePath(call.positional.at(0)).c_str(), widePath(output).c_str(), call.has("dotnet") ? 1 : 0);
    if (hr < 0)
        return reportHresult(call, hr);
    describeWrittenAvi(output);
    return 0;
}

int replaceAudioCommand(const Invocation& call)
{
    const std::string& output = call.positional.at(2);
    checkOutputNames(output, "an AVI file", {"avi"});
    const int32_t hr = ReplaceAudioAvi(widePath(call.positional.at(0)).c_str(), widePath(call.positional.at(1)).c_str(),
        widePath(output).c_str(), call.has("dotnet") ? 1 : 0);
    if (hr < 0)
        return reportHresult(call, hr);
    describeWrittenAvi(output);
    return 0;
}

const Command isAc3Info{"is-ac3", "tell whether a file is an AC-3 stream",
    "usage: zuk is-ac3 FILE [--dotnet]\n"
    "\n"
    "Says whether FILE is an AC-3 elementary stream (as the audio a camcorder's\n"
    "transport stream carries, lifted out). Exit status 0 when it is, 1 when not,\n"
    "2 when FILE cannot be read.\n"
    "--dotnet  leave COM set-up to the host, as managed hosts do\n",
    1, {}, {"dotnet"}, isAc3Command};

const Command wrapAviInfo{"wrap-avi", "write the decoded sound of a media file as an AVI",
    "usage: zuk wrap-avi IN OUT.avi [--dotnet]\n"
    "\n"
    "Decodes the first audio stream of IN to PCM at its own rate and channels\n"
    "and writes it as the only stream of the AVI file OUT.avi.\n"
    "--dotnet  leave COM set-up to the host, as managed hosts do\n",
    2, {}, {"dotnet"}, wrapAviCommand};

const Command replaceAudioInfo{"replace-audio", "give an AVI's first stream the sound of another file",
    "usage: zuk replace-audio IN.avi AUDIO OUT.avi [--dotnet]\n"
    "\n"
    "Writes OUT.avi with the first stream of IN.avi (normally its video, copied\n"
    "as it is) and the sound of AUDIO, any sound file libsndfile reads, as\n"
    "16-bit PCM. The other streams of IN.avi, its old sound among them, are left\n"
    "out. Needs libsndfilewrapper.so beside libzuk.so.\n"
    "--dotnet  leave COM set-up to the host, as managed hosts do\n",
    3, {}, {"dotnet"}, replaceAudioCommand};

} // namespace

std::vector<Command> graphCommands()
{
    return {isAc3Info, wrapAviInfo, replaceAudioInfo};
}

} // namespace zukcli
