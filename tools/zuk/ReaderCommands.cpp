// info and read: the streaming reader (dsax) from the command line.
#include "CommandLine.h"
#include "Paths.h"
#include "Report.h"

#include "platform/SoundFile.h"
#include "platform/media/MediaInterfaces.h"

#include <zuk/dsax.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zukcli {

namespace {

constexpr int kReadRate = 48000;
constexpr int64_t kUnitsPerSecond = 10'000'000;
// Reads and writes go through a buffer of this many frames, whatever --frames asks.
constexpr int64_t kChunkFrames = 48000;

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

int fail(const Invocation& call, const std::string& message)
{
    std::fprintf(stderr, "zuk %s: %s\n", call.command.c_str(), message.c_str());
    return kExitFailure;
}

// Opens the first argument and runs `work` on it. What the reader throws
// becomes one line on stderr and the failure status.
template <class Work>
int withMedia(const Invocation& call, Work&& work)
{
    const std::string file = fileNamedBy(call.positional.at(0));
    const std::u16string path = widePath(file);
    std::optional<OpenMedia> media;
    try {
        media.emplace(path);
    } catch (const std::runtime_error& error) {
        return fail(call, "cannot open " + file + ": " + error.what());
    }
    try {
        return work(file, *media);
    } catch (const std::runtime_error& error) {
        return fail(call, "reading " + file + " failed: " + error.what());
    }
}

// ---- info ----------------------------------------------------------------

const char* formatTagName(uint16_t tag)
{
    switch (tag) {
    case 0x0001: return "PCM";
    case 0x0002: return "MS ADPCM";
    case 0x0003: return "IEEE float";
    case 0x0006: return "A-law";
    case 0x0007: return "mu-law";
    case 0x0011: return "IMA ADPCM";
    case 0x0031: return "GSM 6.10";
    case 0x0050: return "MPEG audio";
    case 0x0055: return "MP3";
    case 0x00FF: return "AAC";
    case 0x0160: return "WMA v1";
    case 0x0161: return "WMA v2";
    case 0x0162: return "WMA Pro";
    case 0x2000: return "AC-3";
    case 0x2001: return "DTS";
    case 0x674F: return "Vorbis";
    case 0x704F: return "Opus";
    case 0xF1AC: return "FLAC";
    default: return nullptr;
    }
}

// A format block of the record, or nothing where the file has no such stream.
// The blocks are packed structures; copying avoids unaligned reads.
template <class Format>
std::optional<Format> formatIn(const uint8_t* block)
{
    if (block == nullptr)
        return std::nullopt;
    Format format{};
    std::memcpy(&format, block, sizeof format);
    return format;
}

double secondsOf(int64_t units)
{
    return static_cast<double>(units) / kUnitsPerSecond;
}

// Text as a JSON string, quotes included.
std::string jsonString(const std::string& text)
{
    std::string result = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            result += '\\';
            result += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            result += escape;
        } else {
            result += c;
        }
    }
    return result + "\"";
}

// A finite number as JSON; anything else as null, which JSON has instead.
std::string jsonNumber(double value)
{
    if (!std::isfinite(value))
        return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

void printInfoText(const std::string& file, const dsax::DSAX_MEDIA_INFO& info)
{
    std::printf("file:          %s\n", file.c_str());
    std::printf("handle:        %u\n", info.handle);
    if (const auto audio = formatIn<WAVEFORMATEX>(info.audio_format)) {
        const char* name = formatTagName(audio->wFormatTag);
        std::printf("audio:         format tag 0x%04X (%s), %u channel%s, %u Hz, %u bits, block align %u\n",
                    audio->wFormatTag, name != nullptr ? name : "unknown", audio->nChannels,
                    audio->nChannels == 1 ? "" : "s", audio->nSamplesPerSec, audio->wBitsPerSample,
                    audio->nBlockAlign);
    } else {
        std::printf("audio:         none\n");
    }
    if (const auto video = formatIn<VIDEOINFOHEADER>(info.video_format))
        std::printf("video:         %d x %d\n", video->bmiHeader.biWidth, std::abs(video->bmiHeader.biHeight));
    else
        std::printf("video:         none\n");
    std::printf("frame rate:    %.15g fps\n", info.frame_rate);
    std::printf("duration:      %.7f s (%lld x 100 ns)\n", secondsOf(info.duration),
                static_cast<long long>(info.duration));
    std::printf("sample length: %lld frames at the source rate\n", static_cast<long long>(info.sample_length));
}

void printInfoJson(const std::string& file, const dsax::DSAX_MEDIA_INFO& info)
{
    std::string audioJson = "null";
    if (const auto audio = formatIn<WAVEFORMATEX>(info.audio_format))
        audioJson = "{\"format_tag\":" + std::to_string(audio->wFormatTag) +
                    ",\"channels\":" + std::to_string(audio->nChannels) +
                    ",\"sample_rate\":" + std::to_string(audio->nSamplesPerSec) +
                    ",\"bits_per_sample\":" + std::to_string(audio->wBitsPerSample) +
                    ",\"block_align\":" + std::to_string(audio->nBlockAlign) + "}";
    std::string videoJson = "null";
    if (const auto video = formatIn<VIDEOINFOHEADER>(info.video_format))
        videoJson = "{\"width\":" + std::to_string(video->bmiHeader.biWidth) +
                    ",\"height\":" + std::to_string(std::abs(video->bmiHeader.biHeight)) + "}";
    std::printf("{\"file\":%s,\"handle\":%u,\"audio\":%s,\"video\":%s,\"frame_rate\":%s,"
                "\"duration_seconds\":%s,\"duration_100ns\":%lld,\"sample_length\":%lld}\n",
                jsonString(file).c_str(), info.handle, audioJson.c_str(), videoJson.c_str(),
                jsonNumber(info.frame_rate).c_str(), jsonNumber(secondsOf(info.duration)).c_str(),
                static_cast<long long>(info.duration), static_cast<long long>(info.sample_length));
}

int infoCommand(const Invocation& call)
{
    const bool json = call.has("json");
    return withMedia(call, [&](const std::string& file, const OpenMedia& media) {
        if (json)
            printInfoJson(file, media.info());
        else
            printInfoText(file, media.info());
        return 0;
    });
}

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
    request.output = fileNamedBy(call.positional.at(1));
    widePath(request.output); // text that is not UTF-8 is a wrong command line
    return request;
}

zuk::SoundFilePtr openOutput(const ReadRequest& request)
{
    SF_INFO format{};
    return zuk::createPcm16Wav(widePath(request.output).c_str(), kReadRate, request.channels, request.frames, format);
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
    if (zuk::namesSameFile(widePath(file).c_str(), widePath(request.output).c_str()))
        return fail(call, request.output + " is the input itself, which writing would destroy");
    const uint32_t handle = media.info().handle;
    const int64_t start = request.seek ? seekTo(handle, *request.seek) : 0;

    zuk::SoundFilePtr sound = openOutput(request);
    if (!sound)
        return fail(call, "cannot write " + request.output + ": " + sf_strerror(nullptr));
    const std::optional<int64_t> written = copyFrames(handle, request, sound.get());
    if (!written)
        return fail(call, "cannot write " + request.output + ": " + sf_strerror(sound.get()));
    if (!zuk::closeSoundFile(sound))
        return fail(call, "cannot finish " + request.output);

    const int64_t reached = start + *written;
    std::printf("read %lld frame%s from frame %lld (%.3f s); position reached: frame %lld (%.3f s)\n",
                static_cast<long long>(*written), *written == 1 ? "" : "s", static_cast<long long>(start),
                secondsAt(start), static_cast<long long>(reached), secondsAt(reached));
    describeWrittenFile(request.output);
    return 0;
}

int readCommand(const Invocation& call)
{
    const ReadRequest request = readRequestOf(call);
    return withMedia(call, [&](const std::string& file, const OpenMedia& media) {
        return readInto(call, request, file, media);
    });
}

const Command infoInfo{
    "info", "describe a media file as the streaming reader opens it",
    "usage: zuk info FILE [--json]\n"
    "\n"
    "Opens FILE with the library's streaming reader (dsax) and prints what it\n"
    "learnt: the handle, the audio format (format tag, channels, sample rate,\n"
    "bits, block align), the video size, the video frame rate, the duration of\n"
    "the sound in seconds and in 100-ns units, and its length in frames at its\n"
    "own sample rate. FILE is a path or a file:// URL.\n"
    "\n"
    "--json  print one JSON object instead; \"audio\" and \"video\" are null\n"
    "        where the file has none\n",
    1, {}, {"json"}, infoCommand};

const Command readInfo{
    "read", "read frames of a media file's sound through the streaming reader",
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
    return {infoInfo, readInfo};
}

} // namespace zukcli
