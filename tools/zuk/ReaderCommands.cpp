// read: frames of a media file's sound through the streaming reader (dsax).
#include "CommandLine.h"
#include "FailureCause.h"
#include "Paths.h"
#include "ReaderMedia.h"
#include "Report.h"

#include <zuk/dsax.h>
#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zukcli {

namespace {

constexpr int kReadRate = 48000;
// Reads and writes go through a buffer of this many frames, whatever --frames asks.
constexpr int64_t kChunkFrames = 48000;

// ---- read ----------------------------------------------------------------

enum class SeekUnit { Time, Sample };

struct Seek {
    SeekUnit unit;
    int64_t offset; // 100-ns units or frames at 48000 Hz
    int whence;     // 0 start, 1 current, 2 end, as the reader takes it
};

int whenceNamed(const std::string& name)
{
    if (name == "start")
        return 0;
    if (name == "current")
        return 1;
    if (name == "end")
        return 2;
    throw UsageError{"--from must be start, current or end, not '" + name + "'"};
}

int64_t unitsIn(const std::string& text)
{
    const double seconds = parseDouble(text, "--seek-time");
    // Beyond this the 100-ns count leaves int64; no media lasts that long.
    if (std::fabs(seconds) > 9.0e11)
        throw UsageError{"--seek-time " + text + " is out of range"};
    return std::llround(seconds * kUnitsPerSecond);
}

std::optional<Seek> seekOf(const Invocation& call)
{
    const std::string* time = call.value("seek-time");
    const std::string* sample = call.value("seek-sample");
    const std::string* from = call.value("from");
    if (time != nullptr && sample != nullptr)
        throw UsageError{"give --seek-time or --seek-sample, not both"};
    if (time == nullptr && sample == nullptr) {
        if (from != nullptr)
            throw UsageError{"--from needs --seek-time or --seek-sample"};
        return std::nullopt;
    }
    Seek seek{};
    seek.unit = time != nullptr ? SeekUnit::Time : SeekUnit::Sample;
    seek.offset = time != nullptr ? unitsIn(*time) : parseInt64(*sample, "--seek-sample");
    seek.whence = from != nullptr ? whenceNamed(*from) : 0;
    if (seek.whence == 0 && seek.offset < 0)
        throw UsageError{"a seek from the start cannot go back; use --from current or --from end"};
    if (seek.whence == 2 && seek.offset > 0)
        throw UsageError{"a seek from the end must go back (0 or a negative offset)"};
    return seek;
}

// A seek that would leave the sound is a wrong command line: the reader would
// quietly stop at its edge. The file was just opened, so "current" is 0.
void checkSeekWithin(const Seek& seek, int64_t durationUnits)
{
    const int64_t length = seek.unit == SeekUnit::Time ? durationUnits : durationUnits * kReadRate / kUnitsPerSecond;
    const int64_t target = (seek.whence == 2 ? length : 0) + seek.offset;
    const char* unit = seek.unit == SeekUnit::Time ? " s" : " frames";
    const auto shown = [&](int64_t value) {
        return seek.unit == SeekUnit::Time ? std::to_string(static_cast<double>(value) / kUnitsPerSecond)
                                           : std::to_string(value);
    };
    if (target > length)
        throw UsageError{"the seek goes past the end: " + shown(target) + unit + " of " + shown(length) + unit};
    if (target < 0)
        throw UsageError{"the seek goes before the start: " + shown(target) + unit};
}

// Seeks as asked and returns the position reached, in frames at 48000 Hz.
int64_t seekTo(uint32_t handle, const Seek& seek)
{
    if (seek.unit == SeekUnit::Sample)
        return dsax::dsax_seek_samp(handle, seek.offset, seek.whence);
    const int64_t units = dsax::dsax_seek_nsec(handle, seek.offset, seek.whence);
    return static_cast<int64_t>(std::floor(static_cast<double>(units) * kReadRate / kUnitsPerSecond));
}

double secondsAt(int64_t frames)
{
    return static_cast<double>(frames) / kReadRate;
}

struct ReadRequest {
    int64_t frames;
    std::optional<Seek> seek;
    int channels;
    std::string output; // the file the output location names
};

ReadRequest readRequestOf(const Invocation& call)
{
    const std::string* framesText = call.value("frames");
    if (framesText == nullptr)
        throw UsageError{"--frames is required"};
    ReadRequest request{};
    request.frames = parseInt64(*framesText, "--frames");
    if (request.frames < 1)
        throw UsageError{"--frames must be at least 1"};
    request.seek = seekOf(call);
    request.channels = call.has("stereo") ? 2 : 1;
    request.output = call.positional.at(1);
    return request;
}

// The WAV being written, closed on every way out.
struct WavCloser {
    void operator()(SNDFILE* file) const { zuk_close_wav(file); }
};
using WavPtr = std::unique_ptr<SNDFILE, WavCloser>;

// The library's own WAV, as its writers make it (RF64 when the frames would
// not fit a plain WAV).
WavPtr openOutput(const ReadRequest& request)
{
    return WavPtr(zuk_create_wav(widePath(request.output).c_str(), kReadRate, request.channels, request.frames));
}

// Moves up to request.frames frames from the reader to `sound` through a
// buffer of kChunkFrames; returns the frames written, or nothing when a write
// fails. Fewer frames than asked means the sound ended.
std::optional<int64_t> copyFrames(uint32_t handle, const ReadRequest& request, SNDFILE* sound)
{
    const auto readFrames = request.channels == 2 ? dsax::dsax_read_short_stereo : dsax::dsax_read_short;
    std::vector<int16_t> buffer(static_cast<size_t>(kChunkFrames * request.channels));
    int64_t written = 0;
    while (written < request.frames) {
        const int64_t wanted = std::min(kChunkFrames, request.frames - written);
        const int64_t got = readFrames(handle, buffer.data(), wanted, nullptr);
        if (got <= 0)
            break;
        if (sf_writef_short(sound, buffer.data(), got) != got)
            return std::nullopt;
        written += got;
        if (got < wanted)
            break;
    }
    return written;
}

int readInto(const Invocation& call, const ReadRequest& request, const std::string& file, const OpenMedia& media)
{
    if (media.info().audio_format == nullptr)
        return fail(call, file + " has no audio stream");
    if (const std::string cause = refusalCause(file, request.output); !cause.empty())
        return fail(call, cause);
    const uint32_t handle = media.info().handle;
    if (request.seek)
        checkSeekWithin(*request.seek, media.info().duration);
    const int64_t start = request.seek ? seekTo(handle, *request.seek) : 0;

    WavPtr sound = openOutput(request);
    if (!sound)
        return fail(call, "cannot write " + request.output + ": " + sf_strerror(nullptr));
    const std::optional<int64_t> written = copyFrames(handle, request, sound.get());
    if (!written)
        return fail(call, "cannot write " + request.output + ": " + sf_strerror(sound.get()));
    if (zuk_close_wav(sound.release()) != ZUK_OK)
        return fail(call, "cannot finish " + request.output);

    const int64_t reached = start + *written;
    note("read %lld frame%s from frame %lld (%.3f s); position reached: frame %lld (%.3f s)\n",
        static_cast<long long>(*written), *written == 1 ? "" : "s", static_cast<long long>(start), secondsAt(start),
        static_cast<long long>(reached), secondsAt(reached));
    describeWrittenFile(request.output);
    return 0;
}

int readCommand(const Invocation& call)
{
    const ReadRequest request = readRequestOf(call);
    return withMedia(
        call, [&](const std::string& file, const OpenMedia& media) { return readInto(call, request, file, media); });
}

const Command readInfo{"read", "read frames of a media file's sound through the streaming reader",
    "usage: zuk read FILE OUT --frames N [--seek-time S | --seek-sample N48K]\n"
    "                [--from start|current|end] [--stereo]\n"
    "\n"
    "Opens FILE with the library's streaming reader, seeks as asked, reads N\n"
    "frames at 48000 Hz and writes them to OUT as a 16-bit WAV: mono (the mean\n"
    "of all channels) or, with --stereo, the first two channels. Fewer frames\n"
    "are written when the sound ends first. Prints the frames written and the\n"
    "position reached, in frames at 48000 Hz.\n"
    "\n"
    "--seek-time S       seek by S seconds\n"
    "--seek-sample N48K  seek by N48K frames at 48000 Hz\n"
    "--from WHERE        where the seek counts from: start (the default),\n"
    "                    current or end (then 0 or negative)\n",
    2, {"frames", "seek-time", "seek-sample", "from"}, {"stereo"}, readCommand};

} // namespace

std::vector<Command> readerCommands()
{
    return {readInfo};
}

} // namespace zukcli
