#include "Report.h"

#include "CommandLine.h"
#include "FailureCause.h"

#include <sndfile.h>
#include <zuk/zuk.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

namespace zukcli {

const char* resultMeaning(int64_t code)
{
    // Copies count their frames in 64 bits; any count is a success.
    if (code > INT32_MAX)
        return zuk_result_text(ZUK_OK);
    return zuk_result_text(code < INT32_MIN ? INT32_MIN : static_cast<int32_t>(code));
}

namespace {

bool quietNotes = false;
std::map<std::string, std::string, std::less<>> shownPaths;

// `path` as messages name it.
std::string shown(const std::string& path)
{
    const auto found = shownPaths.find(path);
    return found != shownPaths.end() ? found->second : path;
}

} // namespace

int reportFailure(const std::string& command, int64_t code, const std::string& input, const std::string& output)
{
    std::string line = "zuk: " + command + " failed: " + std::to_string(code) + " (" + resultMeaning(code) + ")";
    const std::string cause = causeOfFailure(command, code, input, output);
    if (!cause.empty())
        line += "; " + cause;
    for (const auto& [path, shownAs] : shownPaths)
        for (auto at = line.find(path); at != std::string::npos; at = line.find(path, at + shownAs.size()))
            line.replace(at, path.size(), shownAs);
    std::fprintf(stderr, "%s\n", line.c_str());
    return kExitFailure;
}

void setQuiet(bool quiet)
{
    quietNotes = quiet;
}

void showPathAs(const std::string& path, const std::string& shownAs)
{
    shownPaths[path] = shownAs;
}

void note(const char* format, ...)
{
    if (quietNotes)
        return;
    va_list arguments;
    va_start(arguments, format);
    std::vfprintf(stderr, format, arguments);
    va_end(arguments);
}

void describeWrittenFile(const std::string& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        note("%s: written, but libsndfile cannot read it back (%s)\n", shown(path).c_str(), sf_strerror(nullptr));
        return;
    }
    SF_FORMAT_INFO format{};
    format.format = info.format & SF_FORMAT_TYPEMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &format, sizeof format);
    SF_FORMAT_INFO encoding{};
    encoding.format = info.format & SF_FORMAT_SUBMASK;
    sf_command(nullptr, SFC_GET_FORMAT_INFO, &encoding, sizeof encoding);
    const double seconds = info.samplerate > 0 ? static_cast<double>(info.frames) / info.samplerate : 0.0;
    note("%s: %s, %s, %d Hz, %d channel%s, %lld frames (%.3f s)\n", shown(path).c_str(),
        format.name ? format.name : "?", encoding.name ? encoding.name : "?", info.samplerate, info.channels,
        info.channels == 1 ? "" : "s", static_cast<long long>(info.frames), seconds);
    sf_close(file);
}

} // namespace zukcli
