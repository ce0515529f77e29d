#include "platform/media/AviMux.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/ffmpeg/LibAv.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zuk::media {

namespace {

constexpr AVRational kReferenceTimeBase{1, 10'000'000};
constexpr int kIoBufferSize = 64 * 1024;

// ---- What an input carries, as libavformat describes a stream ------------------

struct StreamFormat {
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
AVCodecID uncompressedCodec(const WAVEFORMATEX& wave)
{
    if (wave.wFormatTag == WAVE_FORMAT_PCM) {
        switch (wave.wBitsPerSample) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 16:
            return AV_CODEC_ID_PCM_S16LE;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        }
    } else if (wave.wFormatTag == WAVE_FORMAT_IEEE_FLOAT) {
        switch (wave.wBitsPerSample) {
        case 32:
            return AV_CODEC_ID_PCM_F32LE;
        case 64:
            return AV_CODEC_ID_PCM_F64LE;
        }
    }
    return AV_CODEC_ID_NONE;
}

CodecParametersPtr newParameters(AVMediaType kind, AVCodecID codec, uint32_t tag, std::span<const BYTE> codecData)
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
AVRational videoTimeBase(REFERENCE_TIME timePerFrame)
{
    if (timePerFrame <= 0)
        return AVRational{1, 25};
    constexpr int64_t longest = 60 * kReferenceTimeBase.den; // a frame a minute keeps every term in an int
    const int64_t units = std::min<int64_t>(timePerFrame, longest);
    const int64_t twiceUnit = 2 * int64_t{kReferenceTimeBase.den};
    return simplestBetween(2 * units - 1, twiceUnit, 2 * units + 1, twiceUnit);
}

std::optional<StreamFormat> videoFormat(const AM_MEDIA_TYPE& type)
{
    const auto block = readVideoInfo(type);
    if (!block)
        return std::nullopt;
    const BITMAPINFOHEADER& bitmap = block->format.bmiHeader;
    const AVCodecID codec = codecForTag(avformat_get_riff_video_tags(), bitmap.biCompression);
    if (codec == AV_CODEC_ID_NONE || bitmap.biWidth <= 0 || bitmap.biHeight == 0 || bitmap.biHeight == INT32_MIN)
        return std::nullopt;
    CodecParametersPtr parameters = newParameters(AVMEDIA_TYPE_VIDEO, codec, bitmap.biCompression, block->codecData);
    if (!parameters)
        return std::nullopt;
    parameters->width = bitmap.biWidth;
    parameters->height = std::abs(bitmap.biHeight); // negative: rows top-down
    parameters->bits_per_coded_sample = bitmap.biBitCount;
    parameters->bit_rate = block->format.dwBitRate;
    return StreamFormat{std::move(parameters), videoTimeBase(block->format.AvgTimePerFrame), false};
}

std::optional<StreamFormat> audioFormat(const AM_MEDIA_TYPE& type)
{
    const auto block = readWaveFormat(type);
    if (!block)
        return std::nullopt;
    const WAVEFORMATEX& wave = block->format;
    if (wave.nChannels == 0 || wave.nSamplesPerSec == 0 || wave.nSamplesPerSec > INT_MAX)
        return std::nullopt;
    const bool uncompressed = wave.wFormatTag == WAVE_FORMAT_PCM || wave.wFormatTag == WAVE_FORMAT_IEEE_FLOAT;
    // Uncompressed frames must be exactly as wide as the samples they hold.
    if (uncompressed && (wave.nBlockAlign == 0 || wave.nBlockAlign != wave.nChannels * wave.wBitsPerSample / 8))
        return std::nullopt;
    const AVCodecID codec =
        uncompressed ? uncompressedCodec(wave) : codecForTag(avformat_get_riff_audio_tags(), wave.wFormatTag);
    if (codec == AV_CODEC_ID_NONE)
        return std::nullopt;
    CodecParametersPtr parameters = newParameters(AVMEDIA_TYPE_AUDIO, codec, wave.wFormatTag, block->codecData);
    if (!parameters)
        return std::nullopt;
    const int rate = static_cast<int>(wave.nSamplesPerSec);
    parameters->sample_rate = rate;
    av_channel_layout_default(&parameters->ch_layout, wave.nChannels);
    parameters->block_align = wave.nBlockAlign;
    parameters->bits_per_coded_sample = wave.wBitsPerSample;
    // The muxer derives an uncompressed stream's time base from its bit rate.
    parameters->bit_rate = uncompressed ? int64_t{rate} * wave.nBlockAlign * 8 : int64_t{wave.nAvgBytesPerSec} * 8;
    return StreamFormat{std::move(parameters), AVRational{1, rate}, uncompressed};
}

// What an input connected with `type` would store; nothing when an AVI file cannot hold it.
std::optional<StreamFormat> streamFormatFor(const AM_MEDIA_TYPE& type)
{
    if (IsEqualGUID(type.majortype, MEDIATYPE_Video))
        return videoFormat(type);
    if (IsEqualGUID(type.majortype, MEDIATYPE_Audio))
        return audioFormat(type);
    return std::nullopt;
}

// ---- The muxer, writing into an output pin -------------------------------------

// The code of a libavformat failure; the downstream filter's own when its
// delivery was what failed.
HRESULT muxFailure(int error, HRESULT downstream)
{
    if (FAILED(downstream))
        return downstream;
    return error == AVERROR(ENOMEM) ? E_OUTOFMEMORY : E_FAIL;
}

#if LIBAVFORMAT_VERSION_MAJOR >= 61
using WrittenBytes = const uint8_t*;
#else
using WrittenBytes = uint8_t*;
#endif

// libavformat's AVI muxer on a seekable stream of bytes that goes downstream
// through `output`: each write is delivered at its byte offset, so that going
// back to patch the headers rewrites those bytes in the file.
class AviStreamWriter {
public:
    explicit AviStreamWriter(BasePin& outputPin) : output(outputPin) {}
    AviStreamWriter(const AviStreamWriter&) = delete;
    AviStreamWriter& operator=(const AviStreamWriter&) = delete;

    HRESULT open()
    {
        AVFormatContext* context = nullptr;
        if (avformat_alloc_output_context2(&context, nullptr, "avi", nullptr) < 0 || context == nullptr)
            return E_OUTOFMEMORY;
        format.reset(context);
        auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferSize));
        if (buffer == nullptr)
            return E_OUTOFMEMORY;
        io.reset(avio_alloc_context(buffer, kIoBufferSize, 1, this, nullptr, &AviStreamWriter::write,
                                    &AviStreamWriter::seek));
        if (!io) {
            av_free(buffer);
            return E_OUTOFMEMORY;
        }
        io->seekable = AVIO_SEEKABLE_NORMAL;
        format->pb = io.get();
        format->flags |= AVFMT_FLAG_BITEXACT; // the same streams make the same file
        packet.reset(av_packet_alloc());
        return packet ? S_OK : E_OUTOFMEMORY;
    }

    // The index of the new stream, or -1.
    int addStream(StreamFormat streamFormat)
    {
        AVStream* stream = avformat_new_stream(format.get(), nullptr);
        if (stream == nullptr || avcodec_parameters_copy(stream->codecpar, streamFormat.parameters.get()) < 0)
            return -1;
        stream->time_base = streamFormat.timeBase;
        streams.push_back(StreamClock{streamFormat.uncompressedAudio});
        return stream->index;
    }

    HRESULT writeHeader()
    {
        const int result = avformat_write_header(format.get(), nullptr);
        return result < 0 ? muxFailure(result, downstream) : S_OK;
    }

    HRESULT writePacket(int streamIndex, const BYTE* data, long length, REFERENCE_TIME start, bool syncPoint)
    {
        if (length < 0 || (data == nullptr && length > 0))
            return E_INVALIDARG;
        if (const int result = av_new_packet(packet.get(), static_cast<int>(length)); result < 0)
            return muxFailure(result, downstream);
        if (length > 0)
            std::memcpy(packet->data, data, static_cast<size_t>(length));
        packet->stream_index = streamIndex;
        packet->dts = packet->pts = packetTime(streamIndex, start, length);
        packet->flags = syncPoint ? AV_PKT_FLAG_KEY : 0;
        // The muxer takes the packet's data and leaves `packet` blank.
        const int result = av_interleaved_write_frame(format.get(), packet.get());
        av_packet_unref(packet.get());
        return result < 0 ? muxFailure(result, downstream) : S_OK;
    }

    // Writes what is still interleaved, the index and the final headers.
    HRESULT finish()
    {
        const int result = av_write_trailer(format.get());
        if (result < 0)
            return muxFailure(result, downstream);
        avio_flush(io.get());
        return io->error < 0 ? muxFailure(io->error, downstream) : S_OK;
    }

private:
    struct StreamClock {
        bool countsBytes;
        int64_t bytes = 0;      // uncompressed audio: bytes written so far
        int64_t lastTime = 0;   // others: the time of the last packet
        bool started = false;
    };

    // A packet's time in its stream's time base (which the muxer chose in
    // writeHeader). Uncompressed sound is timed by the samples before it,
    // whatever its buffers say; other streams keep their times, moved just
    // past the one before where they would not rise, since the muxer refuses
    // times that do not.
    int64_t packetTime(int streamIndex, REFERENCE_TIME start, long length)
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
        auto& self = *static_cast<AviStreamWriter*>(opaque);
        const HRESULT hr = self.output.deliver(data, size, self.position);
        if (FAILED(hr)) {
            if (SUCCEEDED(self.downstream))
                self.downstream = hr;
            return AVERROR(EIO);
        }
        self.position += size;
        self.end = std::max(self.end, self.position);
        return size;
    }

    static int64_t seek(void* opaque, int64_t offset, int whence)
    {
        auto& self = *static_cast<AviStreamWriter*>(opaque);
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

    BasePin& output;
    int64_t position = 0; // where the next write lands
    int64_t end = 0;      // the length of what has been written
    HRESULT downstream = S_OK; // the first failure of a delivery
    std::vector<StreamClock> streams;
    // The context is freed before the I/O it writes through.
    IoContextPtr io;
    OutputContextPtr format;
    PacketPtr packet;
};

// ---- The filter ---------------------------------------------------------------------

struct MuxInput {
    BasePin* pin = nullptr;
    int stream = -1;    // its stream in the file being written
    bool ended = false; // its end of stream has come
};

class AviMux : public Filter<> {
public:
    AviMux() : Filter(CLSID_AviDest)
    {
        output = &addPin(std::make_unique<SimplePin<AviMux>>(*this, u"AVI Out", PINDIR_OUTPUT, &AviMux::acceptsNothing,
                                                             &AviMux::offersAvi));
        addInput();
    }

    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    bool acceptsStorable(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        return streamFormatFor(type).has_value();
    }

    std::vector<MediaType> offersAvi(const BasePin&) const
    {
        AM_MEDIA_TYPE avi{};
        avi.majortype = MEDIATYPE_Stream;
        avi.subtype = MEDIASUBTYPE_Avi;
        avi.formattype = FORMAT_None;
        return {MediaType(avi)};
    }

    void connectionChanged(BasePin& pin) override
    {
        discardFile();
        if (pin.direction() == PINDIR_INPUT && pin.isConnected() && !anyInputFree())
            addInput();
    }

    HRESULT stateChanging(FILTER_STATE next) override
    {
        if (next == State_Stopped)
            discardFile();
        return S_OK;
    }

    void beginFlush(BasePin& pin) override
    {
        discardFile();
        Filter::beginFlush(pin);
    }

    HRESULT receive(BasePin& pin, const BYTE* data, long length, REFERENCE_TIME start, DWORD flags) override
    {
        MuxInput& input = inputFor(pin);
        if (input.ended)
            return VFW_E_SAMPLE_REJECTED_EOS;
        if (const HRESULT hr = startFile(); FAILED(hr))
            return hr;
        const HRESULT hr = writer->writePacket(input.stream, data, length, start, (flags & BUFFER_SYNC_POINT) != 0);
        if (FAILED(hr))
            fail(hr);
        return hr;
    }

    // The file ends once every connected input has ended.
    HRESULT endOfStream(BasePin& pin) override
    {
        inputFor(pin).ended = true;
        if (FAILED(failure))
            return failure; // its source has already been told
        if (!allInputsEnded())
            return S_OK;
        HRESULT hr = startFile();
        if (SUCCEEDED(hr))
            hr = writer->finish();
        writer.reset();
        if (FAILED(hr)) {
            // Sources need not heed what EndOfStream returns; the graph must hear of it.
            fail(hr);
            notifyGraph(EC_ERRORABORT, hr, reinterpret_cast<LONG_PTR>(baseFilter()));
            return hr;
        }
        return output->deliverEndOfStream();
    }

private:
    void addInput()
    {
        char name[32];
        std::snprintf(name, sizeof name, "Input %02zu", inputs.size() + 1);
        BasePin& pin = addPin(std::make_unique<SimplePin<AviMux>>(
            *this, std::u16string(name, name + std::strlen(name)), PINDIR_INPUT, &AviMux::acceptsStorable));
        inputs.push_back(MuxInput{&pin});
    }

    bool anyInputFree() const
    {
        return std::any_of(inputs.begin(), inputs.end(),
                           [](const MuxInput& input) { return !input.pin->isConnected(); });
    }

    bool allInputsEnded() const
    {
        return std::all_of(inputs.begin(), inputs.end(),
                           [](const MuxInput& input) { return input.ended || !input.pin->isConnected(); });
    }

    MuxInput& inputFor(const BasePin& pin)
    {
        for (MuxInput& input : inputs)
            if (input.pin == &pin)
                return input;
        throw std::logic_error("not an input of this mux");
    }

    // The header goes out with the first buffer or end, once every input
    // that will take part is connected: one stream per connected input, in
    // input order.
    HRESULT startFile()
    {
        if (FAILED(failure))
            return failure;
        if (writer)
            return S_OK;
        auto started = std::make_unique<AviStreamWriter>(*output);
        HRESULT hr = started->open();
        if (SUCCEEDED(hr))
            hr = addStreams(*started);
        if (SUCCEEDED(hr))
            hr = started->writeHeader();
        if (FAILED(hr)) {
            fail(hr);
            return hr;
        }
        writer = std::move(started);
        return S_OK;
    }

    HRESULT addStreams(AviStreamWriter& file)
    {
        for (MuxInput& input : inputs) {
            if (!input.pin->isConnected())
                continue;
            // The connection was accepted, so its format maps.
            auto streamFormat = streamFormatFor(input.pin->connectionType().get());
            input.stream = streamFormat ? file.addStream(std::move(*streamFormat)) : -1;
            if (input.stream < 0)
                return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    void fail(HRESULT hr)
    {
        failure = hr;
        writer.reset();
    }

    // Forgets the file being written, finished or not, and what has ended.
    void discardFile()
    {
        writer.reset();
        failure = S_OK;
        for (MuxInput& input : inputs) {
            input.stream = -1;
            input.ended = false;
        }
    }

    BasePin* output = nullptr;
    std::vector<MuxInput> inputs;
    std::unique_ptr<AviStreamWriter> writer; // while a file is being written
    HRESULT failure = S_OK;                  // why the file of this run cannot go on
};

} // namespace

HRESULT createAviMux(REFIID iid, void** object)
{
    return makeComObject<AviMux>()->QueryInterface(iid, object);
}

} // namespace zuk::media
