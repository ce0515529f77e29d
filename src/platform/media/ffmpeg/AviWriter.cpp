#include "platform/media/ffmpeg/AviWriter.h"

#include "platform/media/ffmpeg/LibAv.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace zuk::media {

namespace {

constexpr AVRational kReferenceTimeBase{1, 10'000'000};
constexpr int kIoBufferSize = 64 * 1024;
constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatIeeeFloat = 3;

// ---- What a stream holds, as libavformat describes it --------------------------

struct StreamParameters {
    CodecParametersPtr parameters;
    AVRational timeBase;
    bool uncompressedAudio; // its time is the count of bytes before it
};

AVCodecID codecForTag(const AVCodecTag* table, uint32_t tag)
{
    const AVCodecTag* const tables[] = {table, nullptr};
    return av_codec_get_id(tables, tag);
}

// WAVE tag 1 and 3 name no codec until the sample width does.
AVCodecID uncompressedCodec(const AviAudioFormat& wave)
{
    if (wave.formatTag == kWaveFormatPcm) {
        switch (wave.bitsPerSample) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        }
    } else if (wave.formatTag == kWaveFormatIeeeFloat) {
        switch (wave.bitsPerSample) {
        case 32:
            return AV_CODEC_ID_PCM_F32LE;
        case 64:
            return AV_CODEC_ID_PCM_F64LE;
        }
    }
    return AV_CODEC_ID_NONE;
}

CodecParametersPtr newParameters(AVMediaType kind, AVCodecID codec, uint32_t tag, std::span<const uint8_t> codecData)
{
    if (codecData.size() > INT_MAX / 2)
        return nullptr;
    CodecParametersPtr parameters(avcodec_parameters_alloc());
    if (!parameters)
        return nullptr;
    parameters->codec_type = kind;
    parameters->codec_id = codec;
    parameters->codec_tag = tag;
    if (!codecData.empty()) {
        parameters->extradata = static_cast<uint8_t*>(av_mallocz(codecData.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (parameters->extradata == nullptr)
            return nullptr;
        std::memcpy(parameters->extradata, codecData.data(), codecData.size());
        parameters->extradata_size = static_cast<int>(codecData.size());
    }
    return parameters;
}

// The simplest fraction (smallest denominator) in [low, high], 0 < low <= high.
AVRational simplestBetween(int64_t lowNum, int64_t lowDen, int64_t highNum, int64_t highDen)
{
    const int64_t whole = lowNum / lowDen;
    if (whole * lowDen == lowNum)
        return AVRational{static_cast<int>(whole), 1};
    if (whole < highNum / highDen)
        return AVRational{static_cast<int>(whole + 1), 1};
    // The same whole part: the simplest of the reciprocals of what is left over, upside down.
    const AVRational inner = simplestBetween(highDen, highNum - whole * highDen, lowDen, lowNum - whole * lowDen);
    return AVRational{static_cast<int>(whole * inner.num + inner.den), inner.num};
}

// A frame's duration, which AvgTimePerFrame gives rounded to 100 ns, as the
// simplest fraction of a second that rounds to it: 1/24 s rather than
// 416667/10000000, so the file states the rate it was made at.
AVRational videoTimeBase(int64_t timePerFrame)
{
    if (timePerFrame <= 0)
        return AVRational{1, 25};
    constexpr int64_t longest = 60 * kReferenceTimeBase.den; // a frame a minute keeps every term in an int
    const int64_t units = std::min<int64_t>(timePerFrame, longest);
    const int64_t twiceUnit = 2 * int64_t{kReferenceTimeBase.den};
    return simplestBetween(2 * units - 1, twiceUnit, 2 * units + 1, twiceUnit);
}

std::optional<StreamParameters> parametersOf(const AviVideoFormat& video)
{
    const AVCodecID codec = codecForTag(avformat_get_riff_video_tags(), video.compression);
    if (codec == AV_CODEC_ID_NONE || video.width <= 0 || video.height == 0 || video.height == INT32_MIN)
        return std::nullopt;
    CodecParametersPtr parameters = newParameters(AVMEDIA_TYPE_VIDEO, codec, video.compression, video.codecData);
    if (!parameters)
        return std::nullopt;
    parameters->width = video.width;
    parameters->height = std::abs(video.height); // negative: rows top-down
    parameters->bits_per_coded_sample = video.bitsPerPixel;
    parameters->bit_rate = video.bitRate;
    return StreamParameters{std::move(parameters), videoTimeBase(video.timePerFrame), false};
}

std::optional<StreamParameters> parametersOf(const AviAudioFormat& wave)
{
    if (wave.channels == 0 || wave.samplesPerSecond == 0 || wave.samplesPerSecond > INT_MAX)
        return std::nullopt;
    const bool uncompressed = wave.formatTag == kWaveFormatPcm || wave.formatTag == kWaveFormatIeeeFloat;
    // Uncompressed frames must be exactly as wide as the samples they hold.
    if (uncompressed && (wave.blockAlign == 0 || wave.blockAlign != wave.channels * wave.bitsPerSample / 8))
        return std::nullopt;
    const AVCodecID codec =
        uncompressed ? uncompressedCodec(wave) : codecForTag(avformat_get_riff_audio_tags(), wave.formatTag);
    if (codec == AV_CODEC_ID_NONE)
        return std::nullopt;
    CodecParametersPtr parameters = newParameters(AVMEDIA_TYPE_AUDIO, codec, wave.formatTag, wave.codecData);
    if (!parameters)
        return std::nullopt;
    const int rate = static_cast<int>(wave.samplesPerSecond);
    parameters->sample_rate = rate;
    av_channel_layout_default(&parameters->ch_layout, wave.channels);
    parameters->block_align = wave.blockAlign;
    parameters->bits_per_coded_sample = wave.bitsPerSample;
    // The muxer derives an uncompressed stream's time base from its bit rate.
    parameters->bit_rate = uncompressed ? int64_t{rate} * wave.blockAlign * 8 : int64_t{wave.bytesPerSecond} * 8;
    return StreamParameters{std::move(parameters), AVRational{1, rate}, uncompressed};
}

std::optional<StreamParameters> parametersOf(const AviStreamFormat& format)
{
    return std::visit([](const auto& each) { return parametersOf(each); }, format);
}

// ---- The muxer --------------------------------------------------------------------

AviWriter::Result failureOf(int error)
{
    return error == AVERROR(ENOMEM) ? AviWriter::Result::OutOfMemory : AviWriter::Result::Failed;
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;
#else
using WrittenBytes = uint8_t*;
#endif

class LibAvAviWriter final : public AviWriter {
public:
    explicit LibAvAviWriter(Sink into) : sink(std::move(into)) { }
    LibAvAviWriter(const LibAvAviWriter&) = delete;
    LibAvAviWriter& operator=(const LibAvAviWriter&) = delete;

    bool open()
    {
        AVFormatContext* context = nullptr;
        if (avformat_alloc_output_context2(&context, nullptr, "avi", nullptr) < 0 || context == nullptr)
            return false;
        format.reset(context);
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        if (buffer == nullptr)
            return false;
        io.reset(
            avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &LibAvAviWriter::write, &LibAvAviWriter::seek));
        if (!io) {
            av_free(buffer);
            return false;
        }
        io->seekable = AVIO_SEEKABLE_NORMAL;
        format->pb = io.get();
        format->flags |= AVFMT_FLAG_BITEXACT; // the same streams make the same file
        packet.reset(av_packet_alloc());
        return static_cast<bool>(packet);
    }

    int addStream(const AviStreamFormat& streamFormat) override
    {
        const std::optional<StreamParameters> stored = parametersOf(streamFormat);
        if (!stored)
            return -1;
        AVStream* stream = avformat_new_stream(format.get(), nullptr);
        if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, stored->parameters.get()) < 0)
            return -1;
        stream->time_base = stored->timeBase;
        streams.push_back(StreamClock{stored->uncompressedAudio});
        return stream->index;
    }

    Result writeHeader() override
    {
        const int result = avformat_write_header(format.get(), nullptr);
        return result < 0 ? failureOf(result) : Result::Ok;
    }

    Result writePacket(int streamIndex, const uint8_t* data, long length, int64_t start, bool syncPoint) override
    {
        if (length < 0 || length > INT_MAX - AV_INPUT_BUFFER_PADDING_SIZE || (data == nullptr && length > 0))
            return Result::InvalidArgument;
        if (const int result = av_new_packet(packet.get(), static_cast<int>(length)); result < 0)
            return failureOf(result);
        if (length > 0)
            std::memcpy(packet->data, data, static_cast<size_t>(length));
        packet->stream_index = streamIndex;
        packet->dts = packet->pts = packetTime(streamIndex, start, length);
        packet->flags = syncPoint ? AV_PKT_FLAG_KEY : 0;
        // The muxer takes the packet's data and leaves `packet` blank.
        const int result = av_interleaved_write_frame(format.get(), packet.get());
        av_packet_unref(packet.get());
        return result < 0 ? failureOf(result) : Result::Ok;
    }

    Result finish() override
    {
        const int result = av_write_trailer(format.get());
        if (result < 0)
            return failureOf(result);
        avio_flush(io.get());
        return io->error < 0 ? failureOf(io->error) : Result::Ok;
    }

private:
    struct StreamClock {
        bool countsBytes;
        int64_t bytes = 0;    // uncompressed audio: bytes written so far
        int64_t lastTime = 0; // others: the time of the last packet
        bool started = false;
    };

    // A packet's time in its stream's time base (which the muxer chose in
    // writeHeader). Uncompressed sound is timed by the samples before it,
    // whatever its buffers say; other streams keep their times, moved just
    // past the one before where they would not rise, since the muxer refuses
    // times that do not.
    int64_t packetTime(int streamIndex, int64_t start, long length)
    {
        const AVStream& stream = *format->streams[streamIndex];
        StreamClock& clock = streams[static_cast<size_t>(streamIndex)];
        if (clock.countsBytes) {
            const AVCodecParameters& codec = *stream.codecpar;
            const int64_t samples = clock.bytes / codec.block_align;
            clock.bytes += length;
            return av_rescale_q(samples, AVRational{1, codec.sample_rate}, stream.time_base);
        }
        constexpr int64_t bound = int64_t{1} << 60; // far beyond any stream, and +1 cannot overflow
        int64_t time = av_rescale_q_rnd(start, kReferenceTimeBase, stream.time_base,
            static_cast<AVRounding>(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
        time = std::clamp(time, -bound, bound);
        if (clock.started && time <= clock.lastTime)
            time = clock.lastTime + 1;
        clock.started = true;
        clock.lastTime = time;
        return time;
    }

    static int write(void* opaque, WrittenBytes data, int size)
    {
        auto& self = *static_cast<LibAvAviWriter*>(opaque);
        if (!self.sink(std::span<const uint8_t>(data, static_cast<size_t>(size)), self.position))
            return AVERROR(EIO);
        self.position += size;
        self.end = std::max(self.end, self.position);
        return size;
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto& self = *static_cast<LibAvAviWriter*>(opaque);
        if ((whence & AVSEEK_SIZE) != 0)
            return self.end;
        int64_t base = 0;
        switch (whence & ~AVSEEK_FORCE) {
        case SEEK_SET:
            break;
        case SEEK_CUR:
            base = self.position;
            break;
        case SEEK_END:
            base = self.end;
            break;
        default:
            return AVERROR(EINVAL);
        }
        int64_t target = 0;
        if (__builtin_add_overflow(base, offset, &target) || target < 0)
            return AVERROR(EINVAL);
        self.position = target;
        return target;
    }

    Sink sink;
    int64_t position = 0; // where the next write lands
    int64_t end = 0;      // the length of what has been written
    std::vector<StreamClock> streams;
    // The context is freed before the I/O it writes through.
    IoContextPtr io;
    OutputContextPtr format;
    PacketPtr packet;
};

} // namespace

bool aviCanStore(const AviStreamFormat& format)
{
    return parametersOf(format).has_value();
}

std::unique_ptr<AviWriter> AviWriter::open(Sink sink)
{
    auto writer = std::make_unique<LibAvAviWriter>(std::move(sink));
    if (!writer->open())
        return nullptr;
    return writer;
}

} // namespace zuk::media
