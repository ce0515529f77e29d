#include "platform/media/ffmpeg/MediaProbe.h"

#include "platform/media/ffmpeg/LibAv.h"
#include "platform/media/ffmpeg/StreamLength.h"

#include <cstring>

namespace zuk::media {

double VideoStreamInfo::framesPerSecond() const
{
    if (frameRateNumerator <= 0 || frameRateDenominator <= 0)
        return 0.0;
    return static_cast<double>(frameRateNumerator) / frameRateDenominator;
}

namespace {

constexpr uint32_t fourcc(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
        static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
        static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
        static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

uint16_t waveFormatTagOf(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_PCM_U8:
    case AV_CODEC_ID_PCM_S16LE:
    case AV_CODEC_ID_PCM_S24LE:
    case AV_CODEC_ID_PCM_S32LE:
        return 0x0001;
    case AV_CODEC_ID_ADPCM_MS:
        return 0x0002;
    case AV_CODEC_ID_PCM_F32LE:
    case AV_CODEC_ID_PCM_F64LE:
        return 0x0003;
    case AV_CODEC_ID_PCM_ALAW:
        return 0x0006;
    case AV_CODEC_ID_PCM_MULAW:
        return 0x0007;
    case AV_CODEC_ID_ADPCM_IMA_WAV:
        return 0x0011;
    case AV_CODEC_ID_GSM_MS:
        return 0x0031;
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
        return 0x0050;
    case AV_CODEC_ID_MP3:
        return 0x0055;
    case AV_CODEC_ID_AAC:
        return 0x00FF;
    case AV_CODEC_ID_WMAV1:
        return 0x0160;
    case AV_CODEC_ID_WMAV2:
        return 0x0161;
    case AV_CODEC_ID_WMAPRO:
        return 0x0162;
    case AV_CODEC_ID_AC3:
        return 0x2000;
    case AV_CODEC_ID_DTS:
        return 0x2001;
    case AV_CODEC_ID_FLAC:
        return 0xF1AC;
    case AV_CODEC_ID_VORBIS:
        return 0x674F;
    case AV_CODEC_ID_OPUS:
        return 0x704F;
    default:
        return 0;
    }
}

bool isRiffContainer(const AVFormatContext& format)
{
    const char* name = format.iformat ? format.iformat->name : "";
    return std::strcmp(name, "wav") == 0 || std::strcmp(name, "avi") == 0;
}

uint16_t waveFormatTagOf(const AVFormatContext& format, const AVCodecParameters& codec)
{
    if (const uint16_t known = waveFormatTagOf(codec.codec_id))
        return known;
    // A RIFF file states the tag itself, also for codecs without a name here.
    if (isRiffContainer(format) && codec.codec_tag > 0 && codec.codec_tag <= 0xFFFF)
        return static_cast<uint16_t>(codec.codec_tag);
    return 0;
}

bool isLossless(AVCodecID codec)
{
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
    return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0;
}

int bitsPerCodedSample(const AVCodecParameters& codec)
{
    if (const int pcmBits = av_get_bits_per_sample(codec.codec_id); pcmBits > 0)
        return pcmBits;
    return isLossless(codec.codec_id) ? codec.bits_per_raw_sample : 0;
}

std::string codecNameOf(AVCodecID codec)
{
    const char* name = avcodec_get_name(codec);
    return name ? name : "";
}

bool isFourcc(uint32_t tag)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const int c = static_cast<int>((tag >> shift) & 0xFF);
        if (c < 0x20 || c > 0x7E)
            return false;
    }
    return true;
}

uint32_t fourccOf(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_H264:
        return fourcc('H', '2', '6', '4');
    case AV_CODEC_ID_HEVC:
        return fourcc('H', 'E', 'V', 'C');
    case AV_CODEC_ID_MPEG4:
        return fourcc('m', 'p', '4', 'v');
    case AV_CODEC_ID_MJPEG:
        return fourcc('M', 'J', 'P', 'G');
    case AV_CODEC_ID_MPEG1VIDEO:
        return fourcc('M', 'P', 'G', '1');
    case AV_CODEC_ID_MPEG2VIDEO:
        return fourcc('M', 'P', 'G', '2');
    case AV_CODEC_ID_H263:
        return fourcc('H', '2', '6', '3');
    case AV_CODEC_ID_VP8:
        return fourcc('V', 'P', '8', '0');
    case AV_CODEC_ID_VP9:
        return fourcc('V', 'P', '9', '0');
    case AV_CODEC_ID_AV1:
        return fourcc('A', 'V', '0', '1');
    case AV_CODEC_ID_THEORA:
        return fourcc('t', 'h', 'e', 'o');
    case AV_CODEC_ID_DVVIDEO:
        return fourcc('d', 'v', 's', 'd');
    case AV_CODEC_ID_PRORES:
        return fourcc('a', 'p', 'c', 'n');
    case AV_CODEC_ID_DNXHD:
        return fourcc('A', 'V', 'd', 'n');
    case AV_CODEC_ID_VC1:
        return fourcc('W', 'V', 'C', '1');
    case AV_CODEC_ID_WMV3:
        return fourcc('W', 'M', 'V', '3');
    case AV_CODEC_ID_FFV1:
        return fourcc('F', 'F', 'V', '1');
    case AV_CODEC_ID_HUFFYUV:
        return fourcc('H', 'F', 'Y', 'U');
    default:
        return 0;
    }
}

AudioStreamInfo describeAudio(const AVFormatContext& format, const AVStream& stream)
{
    const AVCodecParameters& codec = *stream.codecpar;
    AudioStreamInfo info;
    info.index = stream.index;
    info.sampleRate = codec.sample_rate;
    info.channels = codec.ch_layout.nb_channels;
    info.frames = audioStreamFrames(format, stream);
    info.waveFormatTag = waveFormatTagOf(format, codec);
    info.bitsPerSample = bitsPerCodedSample(codec);
    const int pcmBits = av_get_bits_per_sample(codec.codec_id);
    info.blockAlign = codec.block_align > 0 ? codec.block_align : info.channels * pcmBits / 8;
    info.bitRate = codec.bit_rate > 0 ? codec.bit_rate : int64_t{info.sampleRate} * info.channels * pcmBits;
    info.decodable = info.sampleRate > 0 && info.channels > 0 && openDecoder(stream) != nullptr;
    info.codecName = codecNameOf(codec.codec_id);
    char layout[64] = "";
    if (av_channel_layout_describe(&codec.ch_layout, layout, sizeof layout) > 0)
        info.channelLayout = layout;
    return info;
}

// The stream's own duration in microseconds, 0 when the container gives none.
int64_t durationUsOf(const AVStream& stream)
{
    if (stream.duration <= 0 || stream.duration == AV_NOPTS_VALUE || stream.time_base.den <= 0)
        return 0;
    return av_rescale_q(stream.duration, stream.time_base, AVRational{1, 1'000'000});
}

StreamInfo describe(const AVFormatContext& format, const AVStream& stream)
{
    StreamInfo info;
    info.durationUs = durationUsOf(stream);
    switch (stream.codecpar->codec_type) {
    case AVMEDIA_TYPE_AUDIO:
        info.kind = StreamInfo::Kind::Audio;
        info.audio = describeAudio(format, stream);
        break;
    case AVMEDIA_TYPE_VIDEO:
        info.kind = StreamInfo::Kind::Video;
        info.video = describeVideo(stream);
        break;
    default:
        info.kind = StreamInfo::Kind::Other;
        break;
    }
    return info;
}

bool usable(const StreamInfo& stream, const AVStream& raw)
{
    switch (stream.kind) {
    case StreamInfo::Kind::Audio:
        return stream.audio.decodable;
    case StreamInfo::Kind::Video:
        return hasDecoder(raw);
    default:
        return false;
    }
}

} // namespace

VideoStreamInfo describeVideo(const AVStream& stream)
{
    const AVCodecParameters& codec = *stream.codecpar;
    VideoStreamInfo info;
    info.index = stream.index;
    info.width = codec.width;
    info.height = codec.height;
    const AVRational rate = frameRateOf(stream);
    info.frameRateNumerator = rate.num;
    info.frameRateDenominator = rate.den;
    info.fourcc = isFourcc(codec.codec_tag) ? codec.codec_tag : fourccOf(codec.codec_id);
    info.bitsPerPixel = codec.bits_per_coded_sample > 0 ? codec.bits_per_coded_sample : 24;
    info.bitRate = codec.bit_rate > 0 ? codec.bit_rate : 0;
    info.codecName = codecNameOf(codec.codec_id);
    return info;
}

std::optional<MediaProbe> probeMedia(const std::string& path, OpenError& why)
{
    const FormatContextPtr format = openMediaFile(path, why);
    if (!format)
        return std::nullopt;
    MediaProbe probe;
    bool anyUsable = false;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        probe.streams.push_back(describe(*format, stream));
        anyUsable = anyUsable || usable(probe.streams.back(), stream);
    }
    if (!anyUsable) {
        why = OpenError::NoDecodableStream;
        return std::nullopt;
    }
    probe.containerDurationUs = format->duration > 0 ? format->duration : 0;
    why = OpenError::None;
    return probe;
}

} // namespace zuk::media

namespace zuk::media {

namespace {

struct IoCloser {
    void operator()(AVIOContext* io) const { avio_closep(&io); }
};

// The demuxer that libavformat's probe picks for the bytes of `path` alone.
// Opening a file also weighs its name, so that an empty file named .ac3
// would pass for AC-3.
const AVInputFormat* demuxerForContent(const std::string& path)
{
    silenceLibAv();
    AVIOContext* raw = nullptr;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int opened = avio_open2(&raw, ("file:" + path).c_str(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return nullptr;
    const std::unique_ptr<AVIOContext, IoCloser> io(raw);
    const AVInputFormat* found = nullptr;
    return av_probe_input_buffer2(io.get(), &found, nullptr, nullptr, 0, 0) >= 0 ? found : nullptr;
}

} // namespace

bool isAc3Stream(const std::string& path)
{
    const AVInputFormat* demuxer = demuxerForContent(path);
    if (demuxer == nullptr || std::strcmp(demuxer->name, "ac3") != 0)
        return false;
    OpenError why = OpenError::None;
    return openMediaFile(path, why, demuxer) != nullptr;
}

} // namespace zuk::media
