#include "StandardStreams.h"

#include "Report.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>

namespace zukcli {

namespace {

// The commands whose output is one WAV file, which stdout can take.
const std::set<std::string, std::less<>> kWavWriters = {
    "extract", "resample", "convert", "slice", "read", "mp4-unwrap"};

// The commands whose arguments name no files.
const std::set<std::string, std::less<>> kNoFiles = {"fix-frame-rate"};

// Arguments before the last are inputs when a command takes two or more; a
// single argument is an input, and so is every one when --outdir names where
// the outputs go.
bool isOutputPosition(const Invocation& call, size_t index)
{
    return call.value("outdir") == nullptr && call.positional.size() >= 2 && index + 1 == call.positional.size();
}

} // namespace

StandardStreams::~StandardStreams()
{
    if (privateFolder.empty())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(privateFolder, ignored);
}

std::string StandardStreams::folder()
{
    if (privateFolder.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/zuk-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr)
            throw UsageError{"cannot make a temporary folder for -: " + std::string(std::strerror(errno))};
        privateFolder = pattern;
    }
    return privateFolder;
}

void StandardStreams::substitute(Invocation& call)
{
    if (kNoFiles.contains(call.command))
        return;
    bool stdinTaken = false;
    for (size_t i = 0; i < call.positional.size(); ++i) {
        std::string& argument = call.positional[i];
        if (argument != "-")
            continue;
        if (isOutputPosition(call, i)) {
            if (!kWavWriters.contains(call.command))
                throw UsageError{"- (stdout) can be the output only of the commands that write one WAV: extract, "
                                 "resample, convert, slice, read and mp4-unwrap"};
            stdoutFile = folder() + "/stdout";
            argument = stdoutFile;
            showPathAs(stdoutFile, "-");
            continue;
        }
        if (stdinTaken)
            throw UsageError{"- (stdin) can stand for one input only"};
        stdinTaken = true;
        const std::string spooled = folder() + "/stdin";
        std::ofstream copy(spooled, std::ios::binary);
        copy << std::cin.rdbuf();
        if (!copy.flush() || std::cin.bad())
            throw UsageError{"cannot copy stdin to " + spooled};
        argument = spooled;
        showPathAs(spooled, "-");
    }
}

int StandardStreams::finish(int status)
{
    if (status != 0 || stdoutFile.empty())
        return status;
    // A reader that goes away early is a failure to report, not a signal to die of.
    std::signal(SIGPIPE, SIG_IGN);
    std::FILE* file = std::fopen(stdoutFile.c_str(), "rb");
    if (file == nullptr) {
        std::fprintf(stderr, "zuk: cannot read back %s: %s\n", stdoutFile.c_str(), std::strerror(errno));
        return kExitFailure;
    }
    char buffer[1 << 16];
    bool sent = true;
    for (size_t got; sent && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        sent = std::fwrite(buffer, 1, got, stdout) == got;
    const bool readAll = std::ferror(file) == 0;
    std::fclose(file);
    sent = sent && std::fflush(stdout) == 0;
    if (!sent || !readAll) {
        std::fprintf(stderr, "zuk: the WAV could not be written to stdout in full: %s\n", std::strerror(errno));
        return kExitFailure;
    }
    return 0;
}

} // namespace zukcli
