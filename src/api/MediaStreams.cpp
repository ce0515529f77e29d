// zuk_media_streams: a media file's streams as FFmpeg sees them, for hosts
// that show what a file holds before extracting it.
#include "api/HostText.h"
#include "platform/ExportGuard.h"
#include "platform/WideText.h"
#include "platform/media/ffmpeg/MediaProbe.h"

#include <zuk/zuk.h>

#include <string_view>

namespace {

template <size_t N>
void copyText(std::string_view text, char (&field)[N])
{
    zuk::copyCutToFit(text, field, N);
}

// The entry of `stream`, or nothing for a stream neither audio nor video.
bool describe(const zuk::media::StreamInfo& stream, zuk_stream& entry)
{
    entry = zuk_stream{};
    entry.duration_us = stream.durationUs;
    switch (stream.kind) {
    case zuk::media::StreamInfo::Kind::Audio:
        entry.type = ZUK_STREAM_AUDIO;
        entry.index = stream.audio.index;
        copyText(stream.audio.codecName, entry.codec_name);
        entry.sample_rate = stream.audio.sampleRate;
        entry.channels = stream.audio.channels;
        copyText(stream.audio.channelLayout, entry.channel_layout);
        return true;
    case zuk::media::StreamInfo::Kind::Video:
        entry.type = ZUK_STREAM_VIDEO;
        entry.index = stream.video.index;
        copyText(stream.video.codecName, entry.codec_name);
        entry.width = stream.video.width;
        entry.height = stream.video.height;
        entry.frame_rate = stream.video.framesPerSecond();
        return true;
    default:
        return false;
    }
}

int32_t listStreams(const zuk_char* path, zuk_stream* streams, int32_t capacity)
{
    const auto file = zuk::pathFromWide(path);
    if (!file)
        return ZUK_E_OPEN;
    zuk::media::OpenError why = zuk::media::OpenError::None;
    const auto probe = zuk::media::probeMedia(*file, why);
    if (!probe)
        return ZUK_E_OPEN;
    int32_t count = 0;
    for (const zuk::media::StreamInfo& stream : probe->streams) {
        zuk_stream entry;
        if (!describe(stream, entry))
            continue;
        if (streams != nullptr && count < capacity)
            streams[count] = entry;
        ++count;
    }
    return count;
}

} // namespace

extern "C" ZUK_API int32_t zuk_media_streams(const zuk_char* path, zuk_stream* streams, int32_t capacity)
{
    return zuk::guardExport(
        "zuk_media_streams", int32_t{ZUK_E_OPEN}, [&] { return listStreams(path, streams, capacity); });
}
