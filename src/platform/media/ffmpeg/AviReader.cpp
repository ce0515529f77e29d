#include "platform/media/ffmpeg/AviReader.h"

#include "platform/media/ffmpeg/LibAv.h"

#include <algorithm>
#include <cerrno>

namespace zuk::media {

namespace {

constexpr AVRational kReferenceTimeBase{1, 10'000'000};

std::span<const uint8_t> codecDataOf(const AVCodecParameters& codec)
{
    if (codec.extradata == nullptr || codec.extradata_size <= 0)
        return {};
    return {codec.extradata, static_cast<size_t>(codec.extradata_size)};
}

VideoStreamInfo storedVideo(const AVStream& stream)
{
    VideoStreamInfo info = describeVideo(stream);
    info.fourcc = stream.codecpar->codec_tag;
    return info;
}

AudioStreamInfo storedAudio(const AVStream& stream)
{
    const AVCodecParameters& codec = *stream.codecpar;
    AudioStreamInfo info;
    info.index = stream.index;
    info.sampleRate = codec.sample_rate;
    info.channels = codec.ch_layout.nb_channels;
    info.waveFormatTag = static_cast<uint16_t>(codec.codec_tag);
    info.bitsPerSample = codec.bits_per_coded_sample;
    info.blockAlign = codec.block_align;
    info.bitRate = codec.bit_rate > 0 ? codec.bit_rate : 0;
    return info;
}

StoredStream storedStream(const AVStream& stream)
{
    const AVCodecParameters& codec = *stream.codecpar;
    StoredStream stored;
    stored.codecTag = codec.codec_tag;
    stored.codecData = codecDataOf(codec);
    switch (codec.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
        stored.kind = StreamInfo::Kind::Video;
        stored.video = storedVideo(stream);
        break;
    case AVMEDIA_TYPE_AUDIO:
        stored.kind = StreamInfo::Kind::Audio;
        stored.audio = storedAudio(stream);
        break;
    default:
        break;
    }
    return stored;
}

// Where a packet lies from the start of its stream, in 100-ns units, or
// nothing when the file does not say.
std::optional<int64_t> startOf(const AVPacket& packet, const AVStream& stream)
{
    int64_t time = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (time == AV_NOPTS_VALUE || stream.time_base.num <= 0 || stream.time_base.den <= 0)
        return std::nullopt;
    if (stream.start_time != AV_NOPTS_VALUE && __builtin_sub_overflow(time, stream.start_time, &time))
        return std::nullopt;
    return av_rescale_q(time, stream.time_base, kReferenceTimeBase);
}

class LibAvAviReader final : public AviReader {
public:
    explicit LibAvAviReader(FormatContextPtr opened) : file(std::move(opened))
    {
        for (unsigned index = 0; index < file->nb_streams; ++index)
            stored.push_back(storedStream(*file->streams[index]));
    }

    const std::vector<StoredStream>& streams() const override { return stored; }

    Status next(StoredPacket& packet) override
    {
        current.reset(av_packet_alloc());
        if (!current)
            return Status::OutOfMemory;
        const int read = av_read_frame(file.get(), current.get());
        if (read == AVERROR_EOF)
            return Status::End;
        if (read < 0)
            return read == AVERROR(ENOMEM) ? Status::OutOfMemory : Status::Unreadable;
        packet.stream = current->stream_index;
        packet.data = {current->data, static_cast<size_t>(std::max(current->size, 0))};
        packet.start = current->stream_index >= 0 && static_cast<unsigned>(current->stream_index) < file->nb_streams
            ? startOf(*current, *file->streams[current->stream_index])
            : std::nullopt;
        packet.keyFrame = (current->flags & AV_PKT_FLAG_KEY) != 0;
        return Status::Packet;
    }

private:
    FormatContextPtr file;
    std::vector<StoredStream> stored;
    PacketPtr current; // what the last packet handed out points into
};

} // namespace

std::unique_ptr<AviReader> AviReader::open(const std::string& path, OpenError& why)
{
    FormatContextPtr file = openMediaFile(path, why, av_find_input_format("avi"));
    if (!file)
        return nullptr;
    return std::make_unique<LibAvAviReader>(std::move(file));
}

} // namespace zuk::media
