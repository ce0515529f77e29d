#include "platform/media/ffmpeg/StreamLength.h"

extern "C" {
#include <libavutil/parseutils.h>
}

#include <algorithm>
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
// A length the file's size cannot hold, even at a quarter of the stream's own
// bit rate, is a lying header's or timestamp's (a transport stream whose
// timestamps jump by hours) and is passed over: it would only fill the output
// with hours of silence.

namespace {

// Past this (about 8 months at 48 kHz) a length is a corrupt header's.
constexpr int64_t kMostFrames = int64_t{1} << 40;

// The bit rate below which no audio stream is coded (the slowest speech
// codecs run at about 450 bit/s; a quarter of the size is allowed below).
constexpr int64_t kLeastBitRate = 800;
// Seconds any file may hold beyond what its size accounts for.
constexpr int64_t kSlackSeconds = 10;

// The most frames the file could hold of this stream; no bound when its size
// is unknown (a pipe).
int64_t mostFramesHeld(const AVFormatContext& format, const AVStream& stream, int rate)
{
    const int64_t bytes = format.pb != nullptr ? avio_size(format.pb) : -1;
    if (bytes <= 0)
        return kMostFrames;
    const int64_t bitRate = std::max<int64_t>(stream.codecpar->bit_rate, kLeastBitRate);
    const __int128 frames = (static_cast<__int128>(bytes) * 8 * 4 / bitRate + kSlackSeconds) * rate;
    return static_cast<int64_t>(std::min<__int128>(frames, kMostFrames));
}

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
    const int64_t most = mostFramesHeld(format, stream, rate);
    const auto held = [most](int64_t frames) { return frames <= most ? frames : 0; };
    if (isFormat(format, "avi"))
        if (const int64_t frames = held(fromPcmFrameCount(stream)))
            return frames;
    if (const int64_t frames = held(fromStreamDuration(format, stream, rate)))
        return frames;
    if (const int64_t frames = held(fromPcmFrameCount(stream)))
        return frames;
    if (const int64_t frames = held(fromDurationTag(stream, rate)))
        return frames;
    return held(fromContainer(format, stream, rate));
}

} // namespace zuk::media
