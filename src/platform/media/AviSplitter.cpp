#include "platform/media/AviSplitter.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/FileBehind.h"
#include "platform/media/OpenFailure.h"
#include "platform/media/ffmpeg/LibAv.h"

#include <cstdio>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zuk::media {

namespace {

constexpr AVRational kReferenceTimeBase{1, 10'000'000};

// Missing and unreadable files say so; anything else is no AVI this splitter reads.
HRESULT aviOpenFailure(OpenError why)
{
    return why == OpenError::NotFound || why == OpenError::AccessDenied ? openFailure(why)
                                                                        : VFW_E_INVALID_FILE_FORMAT;
}

std::span<const uint8_t> codecDataOf(const AVCodecParameters& codec)
{
    if (codec.extradata == nullptr || codec.extradata_size <= 0)
        return {};
    return {codec.extradata, static_cast<size_t>(codec.extradata_size)};
}

// The stream as its stream header describes it: the FOURCC and WAVE tag are
// the file's own.
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

// The media type of a stream as stored, or nothing when a format block
// cannot describe it (neither sound nor picture, a tag wider than a WAVE
// tag, more codec data than cbSize can count).
std::optional<MediaType> storedType(const AVStream& stream)
{
    const AVCodecParameters& codec = *stream.codecpar;
    const std::span<const uint8_t> codecData = codecDataOf(codec);
    switch (codec.codec_type) {
    case AVMEDIA_TYPE_VIDEO:
        return videoStreamType(storedVideo(stream), codecData);
    case AVMEDIA_TYPE_AUDIO:
        if (codec.codec_tag > std::numeric_limits<WORD>::max() || codecData.size() > std::numeric_limits<WORD>::max())
            return std::nullopt;
        return audioStreamType(storedAudio(stream), codecData);
    default:
        return std::nullopt;
    }
}

// Where a packet lies from the start of its stream, in 100-ns units, or
// nothing when the file does not say.
std::optional<REFERENCE_TIME> startOf(const AVPacket& packet, const AVStream& stream)
{
    int64_t time = packet.dts != AV_NOPTS_VALUE ? packet.dts : packet.pts;
    if (time == AV_NOPTS_VALUE || stream.time_base.num <= 0 || stream.time_base.den <= 0)
        return std::nullopt;
    if (stream.start_time != AV_NOPTS_VALUE && __builtin_sub_overflow(time, stream.start_time, &time))
        return std::nullopt;
    return av_rescale_q(time, stream.time_base, kReferenceTimeBase);
}

std::u16string outputName(unsigned index)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "Stream %02u", index);
    return std::u16string(digits, digits + std::char_traits<char>::length(digits));
}

struct StreamOutput {
    BasePin* pin = nullptr;
    std::optional<MediaType> type; // what the output offers; nothing: it cannot connect
    REFERENCE_TIME lastStart = 0;  // for packets that carry no time
};

class AviSplitter : public Filter<IStreamSource> {
public:
    AviSplitter() : Filter(CLSID_AviSplitter)
    {
        input = &addPin(std::make_unique<SimplePin<AviSplitter>>(*this, u"input pin", PINDIR_INPUT,
                                                                 &AviSplitter::acceptsStream));
    }

    bool acceptsStream(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return IsEqualGUID(type.majortype, MEDIATYPE_Stream);
    }
    // Outputs only send.
    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    std::vector<MediaType> offersStoredType(const BasePin& pin) const
    {
        for (const StreamOutput& output : outputs)
            if (output.pin == &pin && output.type)
                return {*output.type};
        return {};
    }

    HRESULT checkConnect(BasePin& pin, const AM_MEDIA_TYPE&, IPin* connector) override
    {
        if (&pin != input)
            return S_OK;
        if (file)
            return VFW_E_ALREADY_CONNECTED; // a splitter reads one file in its life
        const auto path = fileBehind(connector);
        if (!path)
            return VFW_E_NO_TRANSPORT;
        OpenError why = OpenError::None;
        file = openMediaFile(*path, why, av_find_input_format("avi"));
        if (!file)
            return aviOpenFailure(why);
        makeOutputs();
        return S_OK;
    }

    // IStreamSource: one packet of the file per call; those of streams that
    // nothing is connected to are dropped.
    HRESULT DeliverNext() override
    {
        if (!file)
            return VFW_E_NOT_CONNECTED;
        const PacketPtr packet(av_packet_alloc());
        if (!packet)
            return E_OUTOFMEMORY;
        const int read = av_read_frame(file.get(), packet.get());
        if (read == AVERROR_EOF) {
            endEveryStream();
            return S_FALSE;
        }
        if (read < 0)
            return read == AVERROR(ENOMEM) ? E_OUTOFMEMORY : VFW_E_INVALID_FILE_FORMAT;
        return deliverPacket(*packet);
    }

    bool IsConnected() override
    {
        for (const StreamOutput& output : outputs)
            if (output.pin->isConnected())
                return true;
        return false;
    }

private:
    void makeOutputs()
    {
        for (unsigned index = 0; index < file->nb_streams; ++index) {
            BasePin& pin = addPin(std::make_unique<SimplePin<AviSplitter>>(
                *this, outputName(index), PINDIR_OUTPUT, &AviSplitter::acceptsNothing, &AviSplitter::offersStoredType));
            outputs.push_back(StreamOutput{&pin, storedType(*file->streams[index]), 0});
        }
    }

    HRESULT deliverPacket(const AVPacket& packet)
    {
        if (packet.stream_index < 0 || static_cast<size_t>(packet.stream_index) >= outputs.size())
            return S_OK;
        StreamOutput& output = outputs[static_cast<size_t>(packet.stream_index)];
        if (!output.pin->isConnected())
            return S_OK;
        output.lastStart = startOf(packet, *file->streams[packet.stream_index]).value_or(output.lastStart);
        const DWORD flags = (packet.flags & AV_PKT_FLAG_KEY) != 0 ? DWORD{BUFFER_SYNC_POINT} : DWORD{0};
        return output.pin->deliver(packet.data, packet.size, output.lastStart, flags);
    }

    // Downstream filters that fail at the end tell the graph themselves.
    void endEveryStream()
    {
        for (StreamOutput& output : outputs)
            if (output.pin->isConnected())
                output.pin->deliverEndOfStream();
    }

    BasePin* input = nullptr;
    FormatContextPtr file;
    std::vector<StreamOutput> outputs; // one per stream of the file, by index
};

} // namespace

HRESULT createAviSplitter(REFIID iid, void** object)
{
    return makeComObject<AviSplitter>()->QueryInterface(iid, object);
}

} // namespace zuk::media
