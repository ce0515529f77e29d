#include "platform/media/ffmpeg/LibAv.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>

namespace zuk::media {

ChannelLayout::ChannelLayout(const AVChannelLayout& layout)
{
    if (layout.order == AV_CHANNEL_ORDER_UNSPEC || av_channel_layout_check(&layout) == 0 ||
        av_channel_layout_copy(&value, &layout) < 0)
        av_channel_layout_default(&value, layout.nb_channels);
}

ChannelLayout::ChannelLayout(const ChannelLayout& other)
{
    if (av_channel_layout_copy(&value, &other.value) < 0)
        av_channel_layout_default(&value, other.value.nb_channels);
}

ChannelLayout& ChannelLayout::operator=(const ChannelLayout& other)
{
    if (this != &other) {
        av_channel_layout_uninit(&value);
        if (av_channel_layout_copy(&value, &other.value) < 0)
            av_channel_layout_default(&value, other.value.nb_channels);
    }
    return *this;
}

ChannelLayout ChannelLayout::defaultFor(int channels)
{
    ChannelLayout layout;
    av_channel_layout_default(&layout.value, channels);
    return layout;
}

int inputFramesFor(int outFrames, int inRate, int outRate)
{
    const int64_t frames = inRate > 0 && outRate > 0 ? av_rescale(outFrames, inRate, outRate) : outFrames;
    return static_cast<int>(std::clamp<int64_t>(frames, 1, INT_MAX));
}

int outputRoomFor(int frames, int inRate, int outRate)
{
    constexpr int64_t kFilterWobble = 64;
    const int64_t made = inRate > 0 && outRate > 0 ? av_rescale_rnd(frames, outRate, inRate, AV_ROUND_UP) : frames;
    return static_cast<int>(std::min<int64_t>(made + kFilterWobble, INT_MAX));
}

void silenceLibAv()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

namespace {

using IoOpen = int (*)(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**);

// libavformat's own opener, taken once from a fresh context and never changed.
IoOpen defaultIoOpen()
{
    static const IoOpen opener = [] {
        AVFormatContext* probe = avformat_alloc_context();
        const IoOpen found = probe ? probe->io_open : nullptr;
        avformat_free_context(probe);
        return found;
    }();
    return opener;
}

// Lets a demuxer open the file it was asked to read and nothing else, so that
// a playlist or reference inside an untrusted file reaches no other file.
int openOnlyTheInput(AVFormatContext* format, AVIOContext** io, const char* url, int flags, AVDictionary** options)
{
    const IoOpen opener = defaultIoOpen();
    if (opener == nullptr || format->url == nullptr || std::strcmp(url, format->url) != 0)
        return AVERROR(EPERM);
    return opener(format, io, url, flags, options);
}

OpenError openErrorFrom(int error)
{
    switch (error) {
    case AVERROR(ENOENT):
    case AVERROR(ENOTDIR):
        return OpenError::NotFound;
    case AVERROR(EACCES):
    case AVERROR(EPERM):
        return OpenError::AccessDenied;
    case AVERROR_INVALIDDATA:
    case AVERROR_DEMUXER_NOT_FOUND:
    case AVERROR_EOF:
        return OpenError::UnknownFormat;
    default:
        return OpenError::Unreadable;
    }
}

} // namespace

FormatContextPtr openMediaFile(const std::string& path, OpenError& why, const AVInputFormat* demuxer)
{
    silenceLibAv();
    why = OpenError::Unreadable;
    if (path.empty()) {
        why = OpenError::NotFound;
        return nullptr;
    }
    // The "file:" prefix keeps a name with a colon from naming a protocol.
    const std::string url = "file:" + path;
    AVFormatContext* format = avformat_alloc_context();
    if (format == nullptr || defaultIoOpen() == nullptr) {
        avformat_free_context(format);
        return nullptr;
    }
    format->io_open = openOnlyTheInput;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avformat_open_input(&format, url.c_str(), demuxer, &options);
    av_dict_free(&options);
    if (opened < 0) { // avformat_open_input has freed the context
        why = openErrorFrom(opened);
        return nullptr;
    }
    FormatContextPtr owned(format);
    if (avformat_find_stream_info(owned.get(), nullptr) < 0)
        return nullptr;
    why = OpenError::None;
    return owned;
}

AVRational frameRateOf(const AVStream& stream)
{
    for (const AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate})
        if (rate.num > 0 && rate.den > 0)
            return rate;
    return AVRational{0, 0};
}

bool hasDecoder(const AVStream& stream)
{
    return avcodec_find_decoder(stream.codecpar->codec_id) != nullptr;
}

CodecContextPtr openDecoder(const AVStream& stream)
{
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    if (codec == nullptr)
        return nullptr;
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0)
        return nullptr;
    context->pkt_timebase = stream.time_base;
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return nullptr;
    return context;
}

} // namespace zuk::media
