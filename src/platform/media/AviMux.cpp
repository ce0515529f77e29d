#include "platform/media/AviMux.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/ffmpeg/AviWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zuk::media {

namespace {

// What an input connected with `type` carries, as the muxer takes it;
// nothing when it is neither a video nor a sound format block.
std::optional<AviStreamFormat> streamFormatOf(const AM_MEDIA_TYPE& type)
{
    if (IsEqualGUID(type.majortype, MEDIATYPE_Video)) {
        const auto block = readVideoInfo(type);
        if (!block)
            return std::nullopt;
        const BITMAPINFOHEADER& bitmap = block->format.bmiHeader;
        return AviVideoFormat{.compression = bitmap.biCompression,
            .width = bitmap.biWidth,
            .height = bitmap.biHeight,
            .bitsPerPixel = bitmap.biBitCount,
            .bitRate = block->format.dwBitRate,
            .timePerFrame = block->format.AvgTimePerFrame,
            .codecData = block->codecData};
    }
    if (IsEqualGUID(type.majortype, MEDIATYPE_Audio)) {
        const auto block = readWaveFormat(type);
        if (!block)
            return std::nullopt;
        const WAVEFORMATEX& wave = block->format;
        return AviAudioFormat{.formatTag = wave.wFormatTag,
            .channels = wave.nChannels,
            .samplesPerSecond = wave.nSamplesPerSec,
            .bytesPerSecond = wave.nAvgBytesPerSec,
            .blockAlign = wave.nBlockAlign,
            .bitsPerSample = wave.wBitsPerSample,
            .codecData = block->codecData};
    }
    return std::nullopt;
}

// An AVI file written through an output pin: each write is delivered at its
// byte offset, so that going back to patch the headers rewrites those bytes
// in the file.
class MuxedFile {
public:
    explicit MuxedFile(BasePin& outputPin) : output(outputPin) { }
    MuxedFile(const MuxedFile&) = delete;
    MuxedFile& operator=(const MuxedFile&) = delete;

    HRESULT open()
    {
        writer =
            AviWriter::open([this](std::span<const uint8_t> bytes, int64_t offset) { return take(bytes, offset); });
        return writer ? S_OK : E_OUTOFMEMORY;
    }

    // The index of the new stream, or -1.
    int addStream(const AviStreamFormat& format) { return writer->addStream(format); }

    HRESULT writeHeader() { return codeOf(writer->writeHeader()); }

    HRESULT writePacket(int stream, const BYTE* data, long length, REFERENCE_TIME start, bool syncPoint)
    {
        return codeOf(writer->writePacket(stream, data, length, start, syncPoint));
    }

    HRESULT finish() { return codeOf(writer->finish()); }

private:
    bool take(std::span<const uint8_t> bytes, int64_t offset)
    {
        const HRESULT hr = output.deliver(bytes.data(), static_cast<long>(bytes.size()), offset);
        if (FAILED(hr) && SUCCEEDED(downstream))
            downstream = hr;
        return SUCCEEDED(hr);
    }

    // The code of a muxer's failure; the downstream filter's own when its
    // delivery was what failed.
    HRESULT codeOf(AviWriter::Result result) const
    {
        switch (result) {
        case AviWriter::Result::Ok:
            return S_OK;
        case AviWriter::Result::InvalidArgument:
            return E_INVALIDARG;
        case AviWriter::Result::OutOfMemory:
            return FAILED(downstream) ? downstream : E_OUTOFMEMORY;
        case AviWriter::Result::Failed:
            break;
        }
        return FAILED(downstream) ? downstream : E_FAIL;
    }

    BasePin& output;
    HRESULT downstream = S_OK; // the first failure of a delivery
    std::unique_ptr<AviWriter> writer;
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
        output = &addPin(std::make_unique<SimplePin<AviMux>>(
            *this, u"AVI Out", PINDIR_OUTPUT, &AviMux::acceptsNothing, &AviMux::offersAvi));
        addInput();
    }

    bool acceptsNothing(const BasePin&, const AM_MEDIA_TYPE&) const { return false; }

    bool acceptsStorable(const BasePin&, const AM_MEDIA_TYPE& type) const
    {
        const auto format = streamFormatOf(type);
        return format && aviCanStore(*format);
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
        return std::any_of(
            inputs.begin(), inputs.end(), [](const MuxInput& input) { return !input.pin->isConnected(); });
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
        auto started = std::make_unique<MuxedFile>(*output);
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

    HRESULT addStreams(MuxedFile& file)
    {
        for (MuxInput& input : inputs) {
            if (!input.pin->isConnected())
                continue;
            // The connection was accepted, so its format maps.
            const auto streamFormat = streamFormatOf(input.pin->connectionType().get());
            input.stream = streamFormat ? file.addStream(*streamFormat) : -1;
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
    std::unique_ptr<MuxedFile> writer; // while a file is being written
    HRESULT failure = S_OK;            // why the file of this run cannot go on
};

} // namespace

HRESULT createAviMux(REFIID iid, void** object)
{
    return makeComObject<AviMux>()->QueryInterface(iid, object);
}

} // namespace zuk::media
