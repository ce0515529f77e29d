// Opening a media file: a throw-away graph that shows whether the file plays
// at all, the media detector's description of its streams, and the graph the
// reader pulls from.
#include "dsax/DSParser.h"

#include "log/Log.h"
#include "platform/WideText.h"
#include "platform/com/Com.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <string>

namespace dsax {

namespace {

// Channel layouts the converter can take.
constexpr WORD kMostChannels = 64;

// The registered filters are listed once per process, by the first open.
std::atomic<bool> filterDumpPending{true};

template <class T>
HRESULT createInstance(REFCLSID clsid, ComPtr<T>& object)
{
    return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iidOf<T>(), object.putVoid());
}

void logWide(std::u16string_view text)
{
    LogString(zuk::utf16ToUtf8(text).value_or("?").c_str());
}

void LogFilterGraph(IGraphBuilder* graph)
{
    if (graph == nullptr) {
        LogString("ZUK_DSPARSER: GraphBuilder not created \n");
        return;
    }
    LogString("ZUK_DSPARSER: Logging filter graph \n");
    ComPtr<IEnumFilters> filters;
    if (SUCCEEDED(graph->EnumFilters(filters.put())) && filters) {
        ComPtr<IBaseFilter> filter;
        while (filters->Next(1, filter.put(), nullptr) == S_OK) {
            if (!filter) {
                LogString("ZUK_DSPARSER: No Filter to log \n");
                continue;
            }
            FILTER_INFO info{};
            if (FAILED(filter->QueryFilterInfo(&info)))
                continue;
            const ComPtr<IFilterGraph> owner = ComPtr<IFilterGraph>::adopt(info.pGraph);
            info.achName[std::size(info.achName) - 1] = 0;
            LogString("ZUK_DPARSER: FilterName, ");
            logWide(info.achName);
            LogString("\n");
        }
    }
    LogString("ZUK_DSPARSER: End filter graph \n");
}

// The friendly name in a moniker's property bag, when it has one.
std::optional<std::u16string> friendlyName(IMoniker* moniker)
{
    ComPtr<IPropertyBag> bag;
    if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.putVoid())) || !bag)
        return std::nullopt;
    VARIANT name;
    VariantInit(&name);
    std::optional<std::u16string> result;
    if (SUCCEEDED(bag->Read(u"FriendlyName", &name, nullptr)) && name.vt == VT_BSTR && name.bstrVal != nullptr)
        result = std::u16string(name.bstrVal, SysStringLen(name.bstrVal));
    VariantClear(&name);
    return result;
}

void DumpRegisteredFilters(REFCLSID category)
{
    if (!filterDumpPending.exchange(false)) {
        LogString("ZUK: Filters has been logged already.\n");
        return;
    }
    ComPtr<ICreateDevEnum> devices;
    ComPtr<IEnumMoniker> monikers;
    if (SUCCEEDED(createInstance(CLSID_SystemDeviceEnum, devices)) &&
        devices->CreateClassEnumerator(category, monikers.put(), 0) == S_OK) {
        LogString("ZUK: Filter Dump Begin\n");
        ComPtr<IMoniker> moniker;
        while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
            if (const auto name = friendlyName(moniker.get())) {
                LogString("ZUK : Filter,");
                logWide(*name);
                LogString("\n");
            }
        }
    }
    LogString("ZUK: Filter Dump End\n");
}

// A copy of a stream's format block, owned by the record. Audio blocks get at
// least a whole WAVEFORMATEX, zero-filled, so that its fields can be read.
uint8_t* copyFormatBlock(const AM_MEDIA_TYPE& type, size_t minimumSize)
{
    auto* copy = new uint8_t[std::max<size_t>(type.cbFormat, minimumSize)]();
    std::memcpy(copy, type.pbFormat, type.cbFormat);
    return copy;
}

void replaceBlock(uint8_t*& slot, uint8_t* block)
{
    delete[] slot;
    slot = block;
}

// The first audio stream the detector lists fills the record: it is the one
// the graph decodes, so the record's rate and channels are the ones its reads
// and sample seeks go by. Of the video streams the last one fills it.
HRESULT GetMediaInfo(const zuk_char* path, DSAX_MEDIA_INFO& info)
{
    LogString("ZUK_DSPARSER: Attempting to get media info\n");
    ComPtr<IMediaDet> detector;
    HRESULT hr = createInstance(CLSID_MediaDet, detector);
    if (SUCCEEDED(hr)) {
        const BstrString name(zuk::wideView(path));
        long streams = 0;
        hr = detector->put_Filename(name.get());
        if (SUCCEEDED(hr))
            hr = detector->get_OutputStreams(&streams);
        for (long index = 0; SUCCEEDED(hr) && index < streams; ++index) {
            GUID major{};
            if (FAILED(detector->put_CurrentStream(index)) || FAILED(detector->get_StreamType(&major)))
                continue;
            AM_MEDIA_TYPE type{};
            if (FAILED(detector->get_StreamMediaType(&type)))
                continue;
            if (type.cbFormat > 0 && type.pbFormat != nullptr) {
                if (IsEqualGUID(type.majortype, MEDIATYPE_Audio)) {
                    if (info.audio_format == nullptr)
                        info.audio_format = copyFormatBlock(type, sizeof(WAVEFORMATEX));
                } else if (IsEqualGUID(type.majortype, MEDIATYPE_Video)) {
                    replaceBlock(info.video_format, copyFormatBlock(type, 0));
                    detector->get_FrameRate(&info.frame_rate);
                }
            }
            FreeMediaType(type);
        }
    }
    LogString("ZUK_DSPARSER: Finished getting media info\n");
    return hr;
}

// The grabber takes PCM audio of any rate and channel count.
HRESULT SetGrabberMediaType(ISampleGrabber* grabber)
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    AM_MEDIA_TYPE type{};
    type.majortype = MEDIATYPE_Audio;
    type.subtype = MEDIASUBTYPE_PCM;
    type.formattype = FORMAT_WaveFormatEx;
    type.cbFormat = sizeof(format);
    type.pbFormat = reinterpret_cast<BYTE*>(&format);
    return grabber->SetMediaType(&type);
}

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter, PIN_DIRECTION wanted, HRESULT& hr)
{
    std::vector<ComPtr<IPin>> found;
    ComPtr<IEnumPins> pins;
    hr = filter->EnumPins(pins.put());
    if (FAILED(hr) || !pins) {
        hr = E_INVALIDARG;
        return found;
    }
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction{};
        if (pin && SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted)
            found.push_back(pin);
    }
    return found;
}

// Connects the first pair of an output of `upstream` and an input of
// `downstream` that the graph can join, decoders in between if need be.
HRESULT JoinFilters(IGraphBuilder* graph, IBaseFilter* upstream, IBaseFilter* downstream)
{
    HRESULT enumerated = S_OK;
    const auto outputs = pinsOf(upstream, PINDIR_OUTPUT, enumerated);
    if (FAILED(enumerated))
        return enumerated;
    const auto inputs = pinsOf(downstream, PINDIR_INPUT, enumerated);
    if (FAILED(enumerated))
        return enumerated;
    HRESULT hr = E_INVALIDARG;
    for (const auto& output : outputs)
        for (const auto& input : inputs) {
            hr = graph->Connect(output.get(), input.get());
            if (hr == S_OK)
                return hr;
        }
    return hr;
}

HRESULT findPin(IBaseFilter* filter, const char16_t* id, ComPtr<IPin>& pin)
{
    return filter->FindPin(id, pin.put());
}

// Puts the converter between the grabber and whatever feeds it.
HRESULT InsertConverter(IGraphBuilder* graph, IBaseFilter* converter, IBaseFilter* grabber)
{
    ComPtr<IPin> converterIn, converterOut, grabberIn, upstream;
    HRESULT hr = findPin(converter, u"In", converterIn);
    if (SUCCEEDED(hr))
        hr = findPin(converter, u"Out", converterOut);
    if (SUCCEEDED(hr))
        hr = findPin(grabber, u"In", grabberIn);
    if (SUCCEEDED(hr))
        hr = grabberIn->ConnectedTo(upstream.put());
    if (SUCCEEDED(hr))
        hr = graph->Disconnect(upstream.get());
    if (SUCCEEDED(hr))
        hr = graph->Disconnect(grabberIn.get());
    if (SUCCEEDED(hr))
        hr = graph->Connect(upstream.get(), converterIn.get());
    if (SUCCEEDED(hr))
        hr = graph->Connect(converterOut.get(), grabberIn.get());
    return hr;
}

HRESULT FindFilterByFriendlyName(std::u16string_view name, REFCLSID category, ComPtr<IBaseFilter>& filter)
{
    ComPtr<ICreateDevEnum> devices;
    HRESULT hr = createInstance(CLSID_SystemDeviceEnum, devices);
    if (FAILED(hr))
        return hr;
    ComPtr<IEnumMoniker> monikers;
    if (devices->CreateClassEnumerator(category, monikers.put(), 0) != S_OK)
        return E_INVALIDARG;
    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.put(), nullptr) == S_OK) {
        if (friendlyName(moniker.get()) != name)
            continue;
        hr = moniker->BindToObject(nullptr, nullptr, IID_IBaseFilter, filter.putVoid());
        if (SUCCEEDED(hr) && filter)
            return S_OK;
    }
    return hr;
}

} // namespace

CDSParser::~CDSParser()
{
    releaseGraph();
}

HRESULT CDSParser::QueryInterface(REFIID requested, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    if (IsEqualGUID(requested, IID_ISampleGrabberCB) || IsEqualGUID(requested, IID_IUnknown)) {
        *object = static_cast<ISampleGrabberCB*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

int CDSParser::SetNormalise(int normalise)
{
    return std::exchange(m_normalise, normalise);
}

void CDSParser::releaseGraph()
{
    // Stopping first ends the streaming thread before the callback's owner goes.
    if (m_pControl)
        m_pControl->Stop();
    m_pGraph.reset();
    m_pControl.reset();
    m_pEvent.reset();
    m_pEventSink.reset();
    m_pSeeking.reset();
}

HRESULT CDSParser::Open(const zuk_char* path, DSAX_MEDIA_INFO& info)
{
    if (m_bReady)
        return E_INVALIDARG;
    if (path == nullptr)
        return E_POINTER;

    HRESULT rendered = S_OK;
    {
        ComPtr<IGraphBuilder> test;
        if (const HRESULT hr = createInstance(CLSID_FilterGraph, test); FAILED(hr))
            return hr;
        rendered = test->RenderFile(path, nullptr);
        LogString("ZUK_DSPARSER:  Test graph to check if the file can be rendered \n");
        LogFilterGraph(test.get());
        LogString("ZUK_DSPARSER:  end Test graph \n");
        LogString("Dumping DSAX filters");
    }
    DumpRegisteredFilters(CLSID_LegacyAmFilterCategory);
    if (FAILED(rendered))
        return rendered;

    GetMediaInfo(path, info);
    if (info.audio_format == nullptr) {
        LogFilterGraph(m_pGraph.get());
        return rendered;
    }
    WAVEFORMATEX audio;
    std::memcpy(&audio, info.audio_format, sizeof(audio));
    // A stream that claims no channels, more than any layout has, or no rate
    // cannot be mixed or timed.
    const bool usable = audio.nChannels >= 1 && audio.nChannels <= kMostChannels && audio.nSamplesPerSec > 0 &&
        audio.nSamplesPerSec <= static_cast<DWORD>(std::numeric_limits<int>::max());
    if (usable) {
        m_channels = audio.nChannels;
        m_sourceRate = static_cast<int>(audio.nSamplesPerSec);
        m_blockAlign = m_channels * 16 / 8;
        m_bytesPerSecond = m_blockAlign * 48000;
    }
    const HRESULT hr = usable ? buildGraph(path) : VFW_E_INVALIDMEDIATYPE;
    if (SUCCEEDED(hr)) {
        info.duration = m_duration;
        if (m_pSeeking->SetTimeFormat(&TIME_FORMAT_SAMPLE) == S_OK) {
            LONGLONG current = 0;
            m_pSeeking->GetPositions(&current, &info.sample_length);
        }
        m_bReady = true;
    }
    LogFilterGraph(m_pGraph.get());
    if (FAILED(hr)) {
        LogString("ZUK: Failed to create dsax filter \n");
        if (filterDumpPending.load())
            DumpRegisteredFilters(CLSID_LegacyAmFilterCategory);
        else
            LogString("ZUK:Skipping Filter Dump\n");
        releaseGraph();
    }
    return hr;
}

// Source -> (decoder) -> PCM converter at 48000 Hz -> grabber (this parser)
// -> null renderer, without a clock so that it decodes as fast as it can.
HRESULT CDSParser::buildGraph(const zuk_char* path)
{
    HRESULT hr = createInstance(CLSID_FilterGraph, m_pGraph);
    if (FAILED(hr))
        return hr;
    m_pControl = m_pGraph.as<IMediaControl>();
    m_pEvent = m_pGraph.as<IMediaEvent>();
    m_pEventSink = m_pGraph.as<IMediaEventSink>();
    if (!m_pControl || !m_pEvent || !m_pEventSink)
        return E_NOINTERFACE;

    ComPtr<IBaseFilter> source;
    if (hr = m_pGraph->AddSourceFilter(path, nullptr, source.put()); FAILED(hr))
        return hr;

    ComPtr<IBaseFilter> grabber;
    if (hr = createInstance(CLSID_SampleGrabber, grabber); FAILED(hr))
        return hr;
    if (hr = m_pGraph->AddFilter(grabber.get(), u"Sample Grabber"); FAILED(hr))
        return hr;
    const auto sampleGrabber = grabber.as<ISampleGrabber>();
    if (!sampleGrabber)
        return E_NOINTERFACE;
    sampleGrabber->SetBufferSamples(0);
    if (hr = SetGrabberMediaType(sampleGrabber.get()); FAILED(hr))
        return hr;
    if (hr = sampleGrabber->SetCallback(this, 1); FAILED(hr))
        return hr;
    if (hr = JoinFilters(m_pGraph.get(), source.get(), grabber.get()); FAILED(hr))
        return hr;

    ComPtr<IBaseFilter> converter;
    FindFilterByFriendlyName(u"PCM", CLSID_AudioCompressorCategory, converter);
    if (hr = m_pGraph->AddFilter(converter.get(), u"PCM"); FAILED(hr))
        return hr;
    if (hr = InsertConverter(m_pGraph.get(), converter.get(), grabber.get()); FAILED(hr))
        return hr;
    if (hr = configureOutputFormat(converter.get()); FAILED(hr))
        return hr;

    ComPtr<IBaseFilter> renderer;
    if (hr = createInstance(CLSID_NullRenderer, renderer); FAILED(hr))
        return hr;
    if (hr = m_pGraph->AddFilter(renderer.get(), u"Null Renderer"); FAILED(hr))
        return hr;
    if (hr = JoinFilters(m_pGraph.get(), grabber.get(), renderer.get()); FAILED(hr))
        return hr;

    if (const auto filter = m_pGraph.as<IMediaFilter>())
        filter->SetSyncSource(nullptr);
    m_pSeeking = m_pGraph.as<IMediaSeeking>();
    if (!m_pSeeking)
        return E_NOINTERFACE;
    return m_pSeeking->GetDuration(&m_duration);
}

// The converter's output: 48000 Hz, 16 bits, the source's channel count.
HRESULT CDSParser::configureOutputFormat(IBaseFilter* converter) const
{
    ComPtr<IPin> out;
    HRESULT hr = findPin(converter, u"Out", out);
    if (FAILED(hr))
        return hr;
    const auto config = out.as<IAMStreamConfig>();
    if (!config)
        return E_NOINTERFACE;
    AM_MEDIA_TYPE* type = nullptr;
    if (hr = config->GetFormat(&type); FAILED(hr))
        return hr;
    if (type->pbFormat == nullptr || type->cbFormat < sizeof(WAVEFORMATEX)) {
        DeleteMediaType(type);
        return VFW_E_INVALIDMEDIATYPE;
    }
    WAVEFORMATEX format;
    std::memcpy(&format, type->pbFormat, sizeof(format));
    format.nChannels = static_cast<WORD>(m_channels);
    format.nSamplesPerSec = 48000;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(m_blockAlign);
    format.nAvgBytesPerSec = static_cast<DWORD>(m_bytesPerSecond);
    std::memcpy(type->pbFormat, &format, sizeof(format));
    hr = config->SetFormat(type);
    DeleteMediaType(type);
    return hr;
}

} // namespace dsax
