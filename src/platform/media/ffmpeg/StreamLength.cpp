#include "platform/media/ffmpeg/StreamLength.h"

extern "C" {
#include <libavutil/parseutils.h>
}

#include <cstring>

namespace zuk::media {

// The audio stream's own length. Containers store it in different places and
// some not at all, so the sources are taken from the most to the least exact:
//  0. For PCM in AVI, the frame count of the stream header: the demuxer's
//     duration for it is estimated from its chunks and can run long (by half
//     a percent for sound decoded from MPEG audio, whose chunks are uneven).
//  1. The stream's duration, where the demuxer gives one: MP4/MOV edit lists,
//     Ogg end positions, FLAC's sample count, WAV's data size, MPEG
//     timestamps. Raw MP3 is the exception: its duration counts every frame
//     from the first, encoder delay included, while the stream starts after
//     the delay (its start time), so that comes off. The encoder's padding at
//     the end stays in: libavformat keeps it to itself (less than a frame).
//  2. For PCM, the frame count the demuxer found (AVI counts the frames its
//     chunks hold; its own duration is the video's, which may be shorter).
//  3. The stream's DURATION tag, which Matroska and WebM writers store per
//     track (to the millisecond).
//  4. The container's duration, less the part before the stream starts.
// Any of them may hold a few frames of codec padding that decoding keeps.

namespace {

// Past this (about 8 months at 48 kHz) a length is a corrupt header's.
constexpr int64_t kMostFrames = int64_t{1} << 40;

int64_t plausible(int64_t frames)
{
    return frames > 0 && frames < kMostFrames ? frames : 0;
}

int64_t toFrames(int64_t value, AVRational timeBase, int rate)
{
    return av_rescale_q(value, timeBase, AVRational{1, rate});
}

bool isFormat(const AVFormatContext& format, const char* name)
{
    return format.iformat != nullptr && std::strcmp(format.iformat->name, name) == 0;
}

bool countsEncoderDelay(const AVFormatContext& format)
{
    return isFormat(format, "mp3");
}

int64_t fromStreamDuration(const AVFormatContext& format, const AVStream& stream, int rate)
{
    if (stream.duration == AV_NOPTS_VALUE || stream.duration <= 0)
        return 0;
    int64_t duration = stream.duration;
    if (countsEncoderDelay(format) && stream.start_time != AV_NOPTS_VALUE && stream.start_time > 0 &&
        stream.start_time < duration)
        duration -= stream.start_time;
    return plausible(toFrames(duration, stream.time_base, rate));
}

int64_t fromPcmFrameCount(const AVStream& stream)
{
    if (av_get_bits_per_sample(stream.codecpar->codec_id) <= 0)
        return 0;
    return plausible(stream.nb_frames);
}

int64_t fromDurationTag(const AVStream& stream, int rate)
{
    const AVDictionaryEntry* tag = av_dict_get(stream.metadata, "DURATION", nullptr, 0);
    int64_t microseconds = 0;
    if (tag == nullptr || av_parse_time(&microseconds, tag->value, 1) < 0)
        return 0;
    return plausible(toFrames(microseconds, AV_TIME_BASE_Q, rate));
}

int64_t fromContainer(const AVFormatContext& format, const AVStream& stream, int rate)
{
    if (format.duration == AV_NOPTS_VALUE || format.duration <= 0)
        return 0;
    int64_t microseconds = format.duration;
    if (stream.start_time != AV_NOPTS_VALUE && format.start_time != AV_NOPTS_VALUE) {
        const int64_t lead =
            av_sat_sub64(av_rescale_q(stream.start_time, stream.time_base, AV_TIME_BASE_Q), format.start_time);
        if (lead > 0 && lead < microseconds)
            microseconds -= lead;
    }
    return plausible(toFrames(microseconds, AV_TIME_BASE_Q, rate));
}

} // namespace

int64_t audioStreamFrames(const AVFormatContext& format, const AVStream& stream)
{
    const int rate = stream.codecpar->sample_rate;
    if (rate <= 0 || stream.time_base.num <= 0 || stream.time_base.den <= 0)
        return 0;
    if (isFormat(format, "avi"))
        if (const int64_t frames = fromPcmFrameCount(stream))
            return frames;
    if (const int64_t frames = fromStreamDuration(format, stream, rate))
        return frames;
    if (const int64_t frames = fromPcmFrameCount(stream))
        return frames;
    if (const int64_t frames = fromDurationTag(stream, rate))
        return frames;
    return fromContainer(format, stream, rate);
}

} // namespace zuk::media
