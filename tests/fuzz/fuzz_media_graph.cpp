// Feeds arbitrary bytes, as a media file, to the media layer: the detector;
// a graph that decodes, converts to 48 kHz and grabs the audio, runs to the
// end, seeks back and runs again; and a graph that reads the bytes as an AVI
// and writes every stream it finds into a new one. Nothing may crash, leak,
// hang or run into undefined behaviour; results are ignored.
#include "FuzzScratch.h"
#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/PcmConverter.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Counts what arrives; never keeps it.
class Counter : public ComObject<ISampleGrabberCB> {
public:
    HRESULT SampleCB(double, IMediaSample*) override { return E_NOTIMPL; }
    HRESULT BufferCB(double, BYTE* buffer, long length) override
    {
        for (long i = 0; i < length; i += 997)
            sum += buffer[i];
        return S_OK;
    }
    uint64_t sum = 0;
};

template <class T>
ComPtr<T> create(const CLSID& clsid)
{
    ComPtr<T> object;
    CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iidOf<T>(), object.putVoid());
    return object;
}

ComPtr<IPin> pin(IBaseFilter* filter, const char16_t* id)
{
    ComPtr<IPin> found;
    filter->FindPin(id, found.put());
    return found;
}

void detect(const std::u16string& file)
{
    const auto detector = create<IMediaDet>(CLSID_MediaDet);
    BstrString name(file);
    if (FAILED(detector->put_Filename(name.get())))
        return;
    long streams = 0;
    detector->get_OutputStreams(&streams);
    for (long i = 0; i < streams; ++i) {
        detector->put_CurrentStream(i);
        AM_MEDIA_TYPE type{};
        if (SUCCEEDED(detector->get_StreamMediaType(&type)))
            FreeMediaType(type);
        double rate = 0;
        detector->get_FrameRate(&rate);
    }
}

// Runs until the end or an abort; a stream that neither ends nor aborts
// within the bound is a hang, which libFuzzer's timeout reports.
void runToEnd(IMediaControl* control, IMediaEvent* events)
{
    control->Run();
    long code = 0;
    events->WaitForCompletion(INFINITE, &code);
    control->Stop();
}

// Puts the "PCM" converter, set to 48 kHz, between the decoder and the grabber.
void insertConverterAt48k(IGraphBuilder* graph, IBaseFilter* grabber)
{
    const auto converter = create<IBaseFilter>(zuk::media::CLSID_PcmConverter);
    graph->AddFilter(converter.get(), u"PCM");
    const ComPtr<IPin> grabberIn = pin(grabber, u"In");
    ComPtr<IPin> upstream;
    grabberIn->ConnectedTo(upstream.put());
    graph->Disconnect(upstream.get());
    graph->Disconnect(grabberIn.get());
    if (FAILED(graph->Connect(upstream.get(), pin(converter.get(), u"In").get())) ||
        FAILED(graph->Connect(pin(converter.get(), u"Out").get(), grabberIn.get())))
        return;
    const auto config = pin(converter.get(), u"Out").as<IAMStreamConfig>();
    AM_MEDIA_TYPE* format = nullptr;
    if (FAILED(config->GetFormat(&format)))
        return;
    auto* wave = reinterpret_cast<WAVEFORMATEX*>(format->pbFormat);
    wave->nSamplesPerSec = 48000;
    wave->nAvgBytesPerSec = 48000u * wave->nBlockAlign;
    config->SetFormat(format);
    DeleteMediaType(format);
}

void grab(const std::u16string& file)
{
    const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
    ComPtr<IBaseFilter> source;
    if (FAILED(graph->AddSourceFilter(file.c_str(), nullptr, source.put())))
        return;
    const auto grabber = create<IBaseFilter>(CLSID_SampleGrabber);
    graph->AddFilter(grabber.get(), u"Sample Grabber");
    AM_MEDIA_TYPE audio{};
    audio.majortype = MEDIATYPE_Audio;
    audio.subtype = MEDIASUBTYPE_PCM;
    const auto counter = makeComObject<Counter>();
    grabber.as<ISampleGrabber>()->SetMediaType(&audio);
    grabber.as<ISampleGrabber>()->SetCallback(counter.get(), 1);
    if (FAILED(graph->Connect(pin(source.get(), u"Output").get(), pin(grabber.get(), u"In").get())))
        return;
    insertConverterAt48k(graph.get(), grabber.get());
    const auto renderer = create<IBaseFilter>(CLSID_NullRenderer);
    graph->AddFilter(renderer.get(), u"Null Renderer");
    if (FAILED(graph->Connect(pin(grabber.get(), u"Out").get(), pin(renderer.get(), u"In").get())))
        return;
    const auto control = graph.as<IMediaControl>();
    const auto events = graph.as<IMediaEvent>();
    runToEnd(control.get(), events.get());
    const auto seeking = graph.as<IMediaSeeking>();
    LONGLONG duration = 0;
    if (SUCCEEDED(seeking->GetDuration(&duration))) {
        LONGLONG middle = duration / 2;
        seeking->SetPositions(&middle, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
        runToEnd(control.get(), events.get());
    }
}

// A free input of the mux (one always waits).
ComPtr<IPin> freeInput(IBaseFilter* mux)
{
    ComPtr<IEnumPins> pins;
    mux->EnumPins(pins.put());
    ComPtr<IPin> candidate;
    while (pins->Next(1, candidate.put(), nullptr) == S_OK) {
        PIN_DIRECTION direction = PINDIR_OUTPUT;
        candidate->QueryDirection(&direction);
        ComPtr<IPin> peer;
        if (direction == PINDIR_INPUT && candidate->ConnectedTo(peer.put()) == VFW_E_NOT_CONNECTED)
            return candidate;
    }
    return {};
}

// File Source -> AVI Splitter -> every stream it offers -> AVI Mux -> File writer.
void remux(const std::u16string& file, const std::u16string& output)
{
    const auto graph = create<IGraphBuilder>(CLSID_FilterGraph);
    ComPtr<IBaseFilter> source;
    if (FAILED(graph->AddSourceFilter(file.c_str(), nullptr, source.put())))
        return;
    const auto splitter = create<IBaseFilter>(CLSID_AviSplitter);
    graph->AddFilter(splitter.get(), u"AVI Splitter");
    if (FAILED(
            graph->ConnectDirect(pin(source.get(), u"Output").get(), pin(splitter.get(), u"input pin").get(), nullptr)))
        return;
    const auto mux = create<IBaseFilter>(CLSID_AviDest);
    graph->AddFilter(mux.get(), u"AVI Mux");
    for (unsigned index = 0;; ++index) {
        char name[24];
        std::snprintf(name, sizeof name, "Stream %02u", index);
        const std::u16string id(name, name + std::char_traits<char>::length(name));
        const ComPtr<IPin> stream = pin(splitter.get(), id.c_str());
        if (!stream)
            break;
        graph->ConnectDirect(stream.get(), freeInput(mux.get()).get(), nullptr);
    }
    const auto writer = create<IBaseFilter>(CLSID_FileWriter);
    graph->AddFilter(writer.get(), u"File writer");
    if (FAILED(writer.as<IFileSinkFilter>()->SetFileName(output.c_str(), nullptr)) ||
        FAILED(graph->ConnectDirect(pin(mux.get(), u"AVI Out").get(), pin(writer.get(), u"in").get(), nullptr)))
        return;
    runToEnd(graph.as<IMediaControl>().get(), graph.as<IMediaEvent>().get());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FuzzScratch scratch{"remuxed.avi"};
    scratch.write(data, size);
    const std::u16string file = fuzzWide(scratch.inputPath());
    detect(file);
    grab(file);
    remux(file, fuzzWide(scratch.path("remuxed.avi")));
    scratch.removeOutputs();
    return 0;
}
