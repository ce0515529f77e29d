#include "platform/media/PcmConverter.h"

#include "platform/media/BaseFilter.h"
#include "platform/media/ffmpeg/AudioConverter.h"

#include <algorithm>
#include <optional>

namespace zuk::media {

namespace {

struct PcmFormat {
    int rate = 0;
    int channels = 0;
};

std::optional<PcmFormat> pcm16Format(const AM_MEDIA_TYPE& type)
{
    const MediaType copy(type);
    const WAVEFORMATEX* format = copy.waveFormat();
    if (!IsEqualGUID(type.majortype, MEDIATYPE_Audio) || format == nullptr)
        return std::nullopt;
    if (format->wFormatTag != WAVE_FORMAT_PCM || format->wBitsPerSample != 16 || format->nChannels < 1 ||
        format->nChannels > 8 || format->nSamplesPerSec < 1 || format->nSamplesPerSec > 768000)
        return std::nullopt;
    return PcmFormat{static_cast<int>(format->nSamplesPerSec), format->nChannels};
}

class PcmConverter;

// The output pin carries IAMStreamConfig, where the wanted format is set.
class ConverterOutput : public BasePin, public IAMStreamConfig {
public:
    ConverterOutput(PcmConverter& filter);

    HRESULT QueryInterface(REFIID requested, void** object) override
    {
        return BasePin::QueryInterface(requested, object);
    }
    ULONG AddRef() override { return BasePin::AddRef(); }
    ULONG Release() override { return BasePin::Release(); }

    HRESULT SetFormat(AM_MEDIA_TYPE* format) override;
    HRESULT GetFormat(AM_MEDIA_TYPE** format) override;
    HRESULT GetNumberOfCapabilities(int* count, int* size) override
    {
        if (count == nullptr || size == nullptr)
            return E_POINTER;
        *count = 0;
        *size = 0;
        return S_OK;
    }
    HRESULT GetStreamCaps(int, AM_MEDIA_TYPE** format, BYTE*) override
    {
        if (format != nullptr)
            *format = nullptr;
        return E_INVALIDARG;
    }

protected:
    bool accepts(const AM_MEDIA_TYPE&) const override { return false; }
    std::vector<MediaType> offeredTypes() const override;
    void* queryExtra(REFIID requested) override
    {
        return IsEqualGUID(requested, IID_IAMStreamConfig) ? static_cast<IAMStreamConfig*>(this) : nullptr;
    }

private:
    PcmConverter& converter;
};

class PcmConverter : public Filter<> {
public:
    PcmConverter() : Filter(CLSID_PcmConverter)
    {
        input =
            &addPin(std::make_unique<SimplePin<PcmConverter>>(*this, u"In", PINDIR_INPUT, &PcmConverter::acceptsPcm));
        output = &addPin(std::make_unique<ConverterOutput>(*this));
    }

    bool acceptsPcm(const BasePin&, const AM_MEDIA_TYPE& type) const { return pcm16Format(type).has_value(); }

    // What leaves: the format set, else the input's own.
    std::optional<PcmFormat> outputFormat() const { return wanted ? wanted : inputFormat; }

    HRESULT setWanted(const PcmFormat& format)
    {
        wanted = format;
        converter.reset();
        if (!output->isConnected())
            return S_OK;
        return output->reconnect(pcmAudioType(format.rate, format.channels));
    }

    void connectionChanged(BasePin& pin) override
    {
        converter.reset();
        if (&pin == input)
            inputFormat = input->isConnected() ? pcm16Format(input->connectionType().get()) : std::nullopt;
        if (&pin == input && input->isConnected() && output->isConnected() && !wanted) {
            const auto format = outputFormat();
            output->reconnect(pcmAudioType(format->rate, format->channels));
        }
    }

    HRESULT receive(BasePin&, const BYTE* data, long length, REFERENCE_TIME start, DWORD) override
    {
        const auto in = inputFormat;
        const auto out = outputFormat();
        if (!in || !out)
            return VFW_E_NOT_CONNECTED;
        const std::span<const int16_t> samples(
            reinterpret_cast<const int16_t*>(data), static_cast<size_t>(length) / sizeof(int16_t));
        if (in->rate == out->rate && in->channels == out->channels)
            return output->deliver(data, length, start);
        if (!converter) {
            converter = std::make_unique<AudioConverter>(in->rate, in->channels, out->rate, out->channels);
            firstStart = start;
            framesOut = 0;
        }
        // Piece by piece, so that what is held and passed on at once stays
        // bounded whatever the rates.
        const size_t piece = converter->framesPerPiece() * static_cast<size_t>(in->channels);
        for (size_t done = 0; done < samples.size(); done += piece) {
            converted.clear();
            converter->convert(samples.subspan(done, std::min(piece, samples.size() - done)), converted);
            if (const HRESULT hr = deliverConverted(*out); hr != S_OK)
                return hr;
        }
        return S_OK;
    }

    HRESULT endOfStream(BasePin& pin) override
    {
        if (converter) {
            converted.clear();
            while (converter->flush(converted)) {
                deliverConverted(*outputFormat());
                converted.clear();
            }
        }
        return Filter::endOfStream(pin);
    }

    void endFlush(BasePin& pin) override
    {
        converter.reset();
        Filter::endFlush(pin);
    }

private:
    // Times follow the frames sent since the first buffer after a start or flush.
    HRESULT deliverConverted(const PcmFormat& out)
    {
        if (converted.empty())
            return S_OK;
        const REFERENCE_TIME start = referenceTimeAfter(firstStart, framesOut, out.rate);
        framesOut += static_cast<int64_t>(converted.size()) / out.channels;
        return output->deliver(reinterpret_cast<const BYTE*>(converted.data()),
            static_cast<long>(converted.size() * sizeof(int16_t)), start);
    }

    BasePin* input = nullptr;
    BasePin* output = nullptr;
    std::optional<PcmFormat> inputFormat; // of the input's connection, kept as it changes
    std::optional<PcmFormat> wanted;
    std::unique_ptr<AudioConverter> converter;
    REFERENCE_TIME firstStart = 0;
    int64_t framesOut = 0;
    std::vector<int16_t> converted;
};

ConverterOutput::ConverterOutput(PcmConverter& filter) : BasePin(filter, u"Out", PINDIR_OUTPUT), converter(filter) { }

std::vector<MediaType> ConverterOutput::offeredTypes() const
{
    const auto format = converter.outputFormat();
    if (!format)
        return {};
    return {pcmAudioType(format->rate, format->channels)};
}

HRESULT ConverterOutput::SetFormat(AM_MEDIA_TYPE* format)
{
    if (format == nullptr)
        return E_POINTER;
    const auto wanted = pcm16Format(*format);
    if (!wanted)
        return VFW_E_INVALIDMEDIATYPE;
    return converter.setWanted(*wanted);
}

HRESULT ConverterOutput::GetFormat(AM_MEDIA_TYPE** format)
{
    if (format == nullptr)
        return E_POINTER;
    *format = nullptr;
    const auto current = converter.outputFormat();
    if (!current)
        return VFW_E_NOT_CONNECTED;
    *format = pcmAudioType(current->rate, current->channels).newCopy();
    return *format != nullptr ? S_OK : E_OUTOFMEMORY;
}

} // namespace

HRESULT createPcmConverter(REFIID requested, void** object)
{
    return makeComObject<PcmConverter>()->QueryInterface(requested, object);
}

} // namespace zuk::media
