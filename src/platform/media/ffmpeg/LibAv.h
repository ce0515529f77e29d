// Owning handles for libavformat, libavcodec and libswresample objects, and
// the opening of media files that the probe and the decoder share.
#pragma once

#include "platform/media/ffmpeg/MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace zuk::media {

struct FormatContextCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextCloser>;

// Output contexts are freed, not closed: their I/O belongs to whoever set it.
struct OutputContextFreer {
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
using OutputContextPtr = std::unique_ptr<AVFormatContext, OutputContextFreer>;

// A custom I/O context and the buffer it holds (which libavformat may have replaced).
struct IoContextFreer {
    void operator()(AVIOContext* io) const
    {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextFreer>;

struct CodecParametersFreer {
    void operator()(AVCodecParameters* parameters) const { avcodec_parameters_free(&parameters); }
};
using CodecParametersPtr = std::unique_ptr<AVCodecParameters, CodecParametersFreer>;

struct CodecContextFreer {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFreer>;

struct PacketFreer {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

struct FrameFreer {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;

struct ResamplerFreer {
    void operator()(SwrContext* context) const { swr_free(&context); }
};
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerFreer>;

// A channel layout that releases what it owns (custom layouts hold a map).
class ChannelLayout {
public:
    ChannelLayout() = default;
    // `layout`, or the default layout for its channel count when its order is unknown.
    explicit ChannelLayout(const AVChannelLayout& layout);
    ~ChannelLayout() { av_channel_layout_uninit(&value); }
    ChannelLayout(const ChannelLayout& other);
    ChannelLayout& operator=(const ChannelLayout& other);

    static ChannelLayout defaultFor(int channels);
    const AVChannelLayout* get() const { return &value; }
    // For swr_alloc_set_opts2, which (in FFmpeg 5.1) takes layouts it only reads by non-const pointer.
    AVChannelLayout* forSwr() const { return const_cast<AVChannelLayout*>(&value); }
    int channels() const { return value.nb_channels; }
    bool operator==(const ChannelLayout& other) const { return av_channel_layout_compare(&value, &other.value) == 0; }

private:
    AVChannelLayout value{};
};

// Input frames whose conversion from `inRate` to `outRate` makes about
// `outFrames` frames; at least 1. Converting in pieces of this many keeps a
// conversion's output bounded however far apart the rates are.
int inputFramesFor(int outFrames, int inRate, int outRate);

// Output room for converting `frames` frames from `inRate` to `outRate`: what
// they make, plus a little for the wobble of a resampler's filter. Not
// swr_get_out_samples, which counts every frame the filter holds at the full
// ratio (at 1 Hz to 48 kHz, megabytes), and by which libswresample sizes
// buffers of its own. What does not fit stays in the converter for the next call.
int outputRoomFor(int frames, int inRate, int outRate);

// Keeps libav* from printing: a library has no business writing to stderr.
void silenceLibAv();

// Opens `path` as a local file only (no protocols; a playlist inside cannot
// make libavformat open other files) and reads its stream information.
// `demuxer`: the demuxer to read it with; null lets libavformat guess.
FormatContextPtr openMediaFile(const std::string& path, OpenError& why, const AVInputFormat* demuxer = nullptr);

// The stream's average frame rate, else its base rate; 0/0 when it has neither.
AVRational frameRateOf(const AVStream& stream);

// A video stream as the media detector describes it; a FOURCC the file does
// not give is the one usual for the codec.
VideoStreamInfo describeVideo(const AVStream& stream);

// An opened decoder for `stream`, single-threaded, with the stream's time
// base for its timestamps; null when there is none or it does not open.
CodecContextPtr openDecoder(const AVStream& stream);

// True when libavcodec has a decoder for `stream`.
bool hasDecoder(const AVStream& stream);

} // namespace zuk::media
