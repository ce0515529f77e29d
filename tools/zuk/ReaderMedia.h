// A media file opened by the streaming reader (dsax), for the commands that
// use the reader directly.
#pragma once

#include "CommandLine.h"
#include "Paths.h"

#include <zuk/dsax.h>

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>

namespace zukcli {

// Time in the reader's unit, 100 ns.
inline constexpr int64_t kUnitsPerSecond = 10'000'000;

// One open file of the reader; the handle is closed on every way out.
class OpenMedia {
public:
    explicit OpenMedia(const std::u16string& path)
    {
        dsax::dsax_init();
        record = dsax::dsax_open(path.c_str());
        if (record == nullptr)
            throw std::runtime_error("the reader returned no record");
    }
    ~OpenMedia() { dsax::dsax_close(&record); }
    OpenMedia(const OpenMedia&) = delete;
    OpenMedia& operator=(const OpenMedia&) = delete;

    const dsax::DSAX_MEDIA_INFO& info() const { return *record; }

private:
    dsax::DSAX_MEDIA_INFO* record = nullptr;
};

// Prints "zuk COMMAND: MESSAGE" on stderr; the failure status.
inline int fail(const Invocation& call, const std::string& message)
{
    std::fprintf(stderr, "zuk %s: %s\n", call.command.c_str(), message.c_str());
    return kExitFailure;
}

// Opens the first argument and runs `work` on it. What the reader throws
// goes to `onFailure` (one line on stderr by default), whose status ends the
// command.
template <class Work, class Failure = int (*)(const Invocation&, const std::string&)>
int withMedia(const Invocation& call, Work&& work, Failure&& onFailure = fail)
{
    const std::string& file = call.positional.at(0);
    const std::u16string path = widePath(file);
    std::optional<OpenMedia> media;
    try {
        media.emplace(path);
    } catch (const std::runtime_error& error) {
        return onFailure(call, "cannot open " + file + ": " + error.what());
    }
    try {
        return work(file, *media);
    } catch (const std::runtime_error& error) {
        return onFailure(call, "reading " + file + " failed: " + error.what());
    }
}

} // namespace zukcli
