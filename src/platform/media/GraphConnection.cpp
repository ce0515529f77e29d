// Connecting pins, with a splitter inserted behind a byte stream and the
// "PCM" converter where an input refuses decoded sound as it comes.
#include "platform/media/FilterGraphImpl.h"
#include "platform/media/MediaSplitter.h"
#include "platform/media/MediaType.h"
#include "platform/media/NullRenderer.h"
#include "platform/media/PcmConverter.h"

#include <utility>

namespace zuk::media::graph {

namespace {

ComPtr<IPin> pinNamed(IBaseFilter* filter, const char16_t* id)
{
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.put());
    return pin;
}

template <class Factory>
ComPtr<IBaseFilter> create(Factory factory)
{
    ComPtr<IBaseFilter> filter;
    factory(IID_IBaseFilter, filter.putVoid());
    return filter;
}

// A throw-away input pin that refuses every connection and notes the first
// type offered: how the graph learns what an output pin carries.
class OfferProbePin : public ComObject<IPin> {
public:
    HRESULT Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT ReceiveConnection(IPin*, const AM_MEDIA_TYPE* type) override
    {
        if (type != nullptr && !offered) {
            offered = true;
            major = type->majortype;
            subtype = type->subtype;
        }
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Disconnect() override { return S_FALSE; }
    HRESULT ConnectedTo(IPin** pin) override
    {
        if (pin != nullptr)
            *pin = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT QueryDirection(PIN_DIRECTION* direction) override
    {
        if (direction == nullptr)
            return E_POINTER;
        *direction = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

    bool offered = false;
    GUID major = GUID_NULL;
    GUID subtype = GUID_NULL;
};

ComPtr<OfferProbePin> probeOffer(IPin* output)
{
    auto probe = makeComObject<OfferProbePin>();
    output->Connect(probe.get(), nullptr);
    return probe;
}

GUID offeredMajorType(IPin* output)
{
    return probeOffer(output)->major;
}

GUID offeredSubtype(IPin* output)
{
    return probeOffer(output)->subtype;
}

// Whether an output carries what a player would render: decoded audio or video.
bool rendersAsDecoded(IPin* output)
{
    const GUID major = offeredMajorType(output);
    return IsEqualGUID(major, MEDIATYPE_Video) ||
        (IsEqualGUID(major, MEDIATYPE_Audio) && IsEqualGUID(offeredSubtype(output), MEDIASUBTYPE_PCM));
}

} // namespace

HRESULT FilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type)
{
    if (output == nullptr || input == nullptr)
        return E_POINTER;
    if (directionOf(output) != PINDIR_OUTPUT || directionOf(input) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, type);
}

HRESULT FilterGraph::Disconnect(IPin* pin)
{
    if (pin == nullptr)
        return E_POINTER;
    return pin->Disconnect();
}

HRESULT FilterGraph::Connect(IPin* output, IPin* input)
{
    if (output == nullptr || input == nullptr)
        return E_POINTER;
    if (isConnected(output) || isConnected(input))
        return VFW_E_ALREADY_CONNECTED;
    const HRESULT direct = ConnectDirect(output, input, nullptr);
    if (SUCCEEDED(direct) || direct == VFW_E_INVALID_DIRECTION)
        return direct;
    if (IsEqualGUID(offeredMajorType(output), MEDIATYPE_Stream))
        return connectThroughSplitter(output, input);
    return connectThroughConverter(output, input);
}

HRESULT FilterGraph::Render(IPin* output)
{
    if (output == nullptr)
        return E_POINTER;
    ComPtr<IBaseFilter> renderer = create(createNullRenderer);
    if (!renderer)
        return E_OUTOFMEMORY;
    AddFilter(renderer.get(), u"Null Renderer");
    const HRESULT hr = Connect(output, pinNamed(renderer.get(), u"In").get());
    if (FAILED(hr))
        RemoveFilter(renderer.get());
    return hr;
}

HRESULT FilterGraph::RenderFile(LPCWSTR file, LPCWSTR)
{
    ComPtr<IBaseFilter> source;
    if (const HRESULT hr = AddSourceFilter(file, file, source.put()); FAILED(hr))
        return hr;
    ComPtr<IBaseFilter> splitter;
    if (const HRESULT hr = addSplitterBehind(pinNamed(source.get(), u"Output").get(), splitter); FAILED(hr))
        return hr;
    int rendered = 0;
    int streams = 0;
    for (const auto& pin : pinsOf(splitter.get())) {
        if (directionOf(pin.get()) != PINDIR_OUTPUT)
            continue;
        ++streams;
        if (rendersAsDecoded(pin.get()) && SUCCEEDED(Render(pin.get())))
            ++rendered;
    }
    if (rendered == 0)
        return VFW_E_CANNOT_RENDER;
    return rendered == streams ? S_OK : VFW_S_PARTIAL_RENDER;
}

HRESULT FilterGraph::AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter)
{
    if (file == nullptr || filter == nullptr)
        return E_POINTER;
    *filter = nullptr;
    ComPtr<IBaseFilter> source;
    if (const HRESULT hr =
            CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, source.putVoid());
        FAILED(hr))
        return hr;
    if (const HRESULT hr = source.as<IFileSourceFilter>()->Load(file, nullptr); FAILED(hr))
        return hr;
    if (const HRESULT hr = AddFilter(source.get(), filterName != nullptr ? filterName : file); FAILED(hr))
        return hr;
    *filter = source.detach();
    return S_OK;
}

HRESULT FilterGraph::addSplitterBehind(IPin* streamOutput, ComPtr<IBaseFilter>& splitter)
{
    if (streamOutput == nullptr)
        return E_UNEXPECTED;
    splitter = create(createMediaSplitter);
    if (!splitter)
        return E_OUTOFMEMORY;
    AddFilter(splitter.get(), u"Media Splitter");
    const HRESULT hr = ConnectDirect(streamOutput, pinNamed(splitter.get(), u"Input").get(), nullptr);
    if (FAILED(hr)) {
        RemoveFilter(splitter.get());
        splitter.reset();
    }
    return hr;
}

HRESULT FilterGraph::connectThroughSplitter(IPin* streamOutput, IPin* input)
{
    ComPtr<IBaseFilter> splitter;
    if (const HRESULT hr = addSplitterBehind(streamOutput, splitter); FAILED(hr))
        return hr;
    for (const auto& pin : pinsOf(splitter.get()))
        if (directionOf(pin.get()) == PINDIR_OUTPUT && SUCCEEDED(Connect(pin.get(), input)))
            return S_OK;
    RemoveFilter(splitter.get());
    return VFW_E_CANNOT_CONNECT;
}

// Decoded PCM that the input refuses as it is may suit it after the
// "PCM" converter: try the input's likely wishes.
HRESULT FilterGraph::connectThroughConverter(IPin* output, IPin* input)
{
    ComPtr<IBaseFilter> converter;
    if (FAILED(
            CoCreateInstance(CLSID_PcmConverter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, converter.putVoid())))
        return VFW_E_CANNOT_CONNECT;
    AddFilter(converter.get(), u"PCM");
    const ComPtr<IPin> converterIn = pinNamed(converter.get(), u"In");
    const ComPtr<IPin> converterOut = pinNamed(converter.get(), u"Out");
    if (SUCCEEDED(ConnectDirect(output, converterIn.get(), nullptr))) {
        const auto config = converterOut.as<IAMStreamConfig>();
        for (const auto& [rate, channels] : {std::pair{48000, 2}, {48000, 1}, {44100, 2}, {44100, 1}}) {
            MediaType candidate = pcmAudioType(rate, channels);
            if (input->QueryAccept(&candidate.get()) != S_OK)
                continue;
            config->SetFormat(const_cast<AM_MEDIA_TYPE*>(&candidate.get()));
            if (SUCCEEDED(ConnectDirect(converterOut.get(), input, nullptr)))
                return S_OK;
        }
    }
    RemoveFilter(converter.get());
    return VFW_E_CANNOT_CONNECT;
}

} // namespace zuk::media::graph
