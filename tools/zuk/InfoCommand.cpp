// info: what the streaming reader (dsax) learns when it opens a media file,
// and the file's streams as FFmpeg sees them, as text or as JSON.
#include "CommandLine.h"
#include "ReaderMedia.h"

#include <nlohmann/json.hpp>
#include <zuk/zuk.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace zukcli {

namespace {

// Keys in the order they are set: file and handle first, as before.
using json = nlohmann::ordered_json;

// The record's format blocks as dsax.h names them, WAVEFORMATEX and the
// start of VIDEOINFOHEADER: packed little-endian fields, as on Windows.
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
struct VideoFormat {
    int32_t rcSource[4];
    int32_t rcTarget[4];
    uint32_t dwBitRate;
    uint32_t dwBitErrorRate;
    int64_t AvgTimePerFrame;
    struct {
        uint32_t biSize;
        int32_t biWidth;
        int32_t biHeight;
    } bmiHeader; // the rest of the bitmap header is not read
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18 && offsetof(VideoFormat, bmiHeader.biWidth) == 52);

const char* formatTagName(uint16_t tag)
{
    switch (tag) {
    case 0x0001:
        return "PCM";
    case 0x0002:
        return "MS ADPCM";
    case 0x0003:
        return "IEEE float";
    case 0x0006:
        return "A-law";
    case 0x0007:
        return "mu-law";
    case 0x0011:
        return "IMA ADPCM";
    case 0x0031:
        return "GSM 6.10";
    case 0x0050:
        return "MPEG audio";
    case 0x0055:
        return "MP3";
    case 0x00FF:
        return "AAC";
    case 0x0160:
        return "WMA v1";
    case 0x0161:
        return "WMA v2";
    case 0x0162:
        return "WMA Pro";
    case 0x2000:
        return "AC-3";
    case 0x2001:
        return "DTS";
    case 0x674F:
        return "Vorbis";
    case 0x704F:
        return "Opus";
    case 0xF1AC:
        return "FLAC";
    default:
        return nullptr;
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

void printInfoText(const std::string& file, const dsax::DSAX_MEDIA_INFO& info)
{
    std::printf("file:          %s\n", file.c_str());
    std::printf("handle:        %u\n", info.handle);
    if (const auto audio = formatIn<WaveFormat>(info.audio_format)) {
        const char* name = formatTagName(audio->wFormatTag);
        std::printf("audio:         format tag 0x%04X (%s), %u channel%s, %u Hz, %u bits, block align %u\n",
            audio->wFormatTag, name != nullptr ? name : "unknown", audio->nChannels, audio->nChannels == 1 ? "" : "s",
            audio->nSamplesPerSec, audio->wBitsPerSample, audio->nBlockAlign);
    } else {
        std::printf("audio:         none\n");
    }
    if (const auto video = formatIn<VideoFormat>(info.video_format))
        std::printf("video:         %d x %d\n", video->bmiHeader.biWidth, std::abs(video->bmiHeader.biHeight));
    else
        std::printf("video:         none\n");
    std::printf("frame rate:    %.15g fps\n", info.frame_rate);
    std::printf(
        "duration:      %.7f s (%lld x 100 ns)\n", secondsOf(info.duration), static_cast<long long>(info.duration));
    std::printf("sample length: %lld frames at the source rate\n", static_cast<long long>(info.sample_length));
}

// A finite number, or null, which JSON has instead of the others.
json numberOrNull(double value)
{
    return std::isfinite(value) ? json(value) : json(nullptr);
}

// Seconds from microseconds, null when unknown (0).
json secondsOrNull(int64_t microseconds)
{
    return microseconds > 0 ? json(static_cast<double>(microseconds) / 1e6) : json(nullptr);
}

// The file's audio and video streams as the library's probe sees them; none
// when FFmpeg cannot open it.
std::vector<zuk_stream> probedStreams(const std::string& file)
{
    const std::u16string path = widePath(file);
    std::vector<zuk_stream> streams(16);
    int32_t count = zuk_media_streams(path.c_str(), streams.data(), static_cast<int32_t>(streams.size()));
    if (count > static_cast<int32_t>(streams.size())) {
        streams.resize(static_cast<size_t>(count));
        count = zuk_media_streams(path.c_str(), streams.data(), count);
    }
    streams.resize(static_cast<size_t>(std::clamp<int32_t>(count, 0, static_cast<int32_t>(streams.size()))));
    return streams;
}

// The file's streams, as ffprobe lists them; empty when FFmpeg cannot open it.
json streamsOf(const std::string& file)
{
    json streams = json::array();
    for (const zuk_stream& stream : probedStreams(file)) {
        json entry;
        if (stream.type == ZUK_STREAM_AUDIO)
            entry = {{"index", stream.index}, {"type", "audio"}, {"codec_name", std::string(stream.codec_name)},
                {"sample_rate", stream.sample_rate}, {"channels", stream.channels},
                {"channel_layout", std::string(stream.channel_layout)}};
        else
            entry = {{"index", stream.index}, {"type", "video"}, {"codec_name", std::string(stream.codec_name)},
                {"width", stream.width}, {"height", stream.height}, {"frame_rate", numberOrNull(stream.frame_rate)}};
        entry["duration_seconds"] = secondsOrNull(stream.duration_us);
        streams.push_back(std::move(entry));
    }
    return streams;
}

json recordOf(const std::string& file, const dsax::DSAX_MEDIA_INFO& info)
{
    json record = {{"file", file}, {"handle", info.handle}, {"audio", nullptr}, {"video", nullptr}};
    if (const auto audio = formatIn<WaveFormat>(info.audio_format))
        record["audio"] = {{"format_tag", audio->wFormatTag}, {"channels", audio->nChannels},
            {"sample_rate", audio->nSamplesPerSec}, {"bits_per_sample", audio->wBitsPerSample},
            {"block_align", audio->nBlockAlign}};
    if (const auto video = formatIn<VideoFormat>(info.video_format))
        record["video"] = {{"width", video->bmiHeader.biWidth}, {"height", std::abs(video->bmiHeader.biHeight)}};
    record["frame_rate"] = numberOrNull(info.frame_rate);
    record["duration_seconds"] = numberOrNull(secondsOf(info.duration));
    record["duration_100ns"] = info.duration;
    record["sample_length"] = info.sample_length;
    record["streams"] = streamsOf(file);
    return record;
}

void printText(const std::string& file, const dsax::DSAX_MEDIA_INFO& info)
{
    printInfoText(file, info);
    for (const json& stream : streamsOf(file)) {
        std::printf("stream %d:      %s, %s", stream["index"].get<int>(), stream["type"].get<std::string>().c_str(),
            stream["codec_name"].get<std::string>().c_str());
        if (stream["type"] == "audio")
            std::printf(
                ", %d Hz, %s", stream["sample_rate"].get<int>(), stream["channel_layout"].get<std::string>().c_str());
        else
            std::printf(", %d x %d", stream["width"].get<int>(), stream["height"].get<int>());
        std::printf("\n");
    }
}

// JSON text is UTF-8: a file name in another encoding shows its stray bytes as
// U+FFFD rather than stopping the tool.
std::string jsonText(const json& value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

// With --json, a failure is a JSON object on stdout too, besides its line on stderr.
int failAsJson(const Invocation& call, const std::string& message)
{
    std::printf("%s\n", jsonText(json{{"file", call.positional.at(0)}, {"error", message}}).c_str());
    return fail(call, message);
}

int infoCommand(const Invocation& call)
{
    const auto describe = [&](const std::string& file, const OpenMedia& media) {
        if (call.has("json"))
            std::printf("%s\n", jsonText(recordOf(file, media.info())).c_str());
        else
            printText(file, media.info());
        return 0;
    };
    return call.has("json") ? withMedia(call, describe, failAsJson) : withMedia(call, describe);
}

const Command infoInfo{"info", "describe a media file as the streaming reader opens it",
    "usage: zuk info FILE [--json]\n"
    "\n"
    "Opens FILE with the library's streaming reader (dsax) and prints what it\n"
    "learnt: the handle, the audio format (format tag, channels, sample rate,\n"
    "bits, block align), the video size, the video frame rate, the duration of\n"
    "the sound in seconds and in 100-ns units, and its length in frames at its\n"
    "own sample rate. FILE is a path or a file:// URL.\n"
    "\n"
    "Then it lists the file's streams as FFmpeg sees them.\n"
    "\n"
    "--json  print one JSON object instead; \"audio\" and \"video\" are null\n"
    "        where the file has none, \"streams\" lists index, type, codec_name,\n"
    "        sample_rate, channels and channel_layout (audio), width, height and\n"
    "        frame_rate (video), duration_seconds (null when unknown). A failure\n"
    "        prints {\"file\": ..., \"error\": ...}\n",
    1, {}, {"json"}, infoCommand};

} // namespace

std::vector<Command> infoCommands()
{
    return {infoInfo};
}

} // namespace zukcli
