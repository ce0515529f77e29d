// DecodeToAVIWrapper: the first audio stream of a media file, decoded, as the
// only stream of an AVI file (file source, ACM wrapper, AVI mux, file writer).
#include "dsax/GraphCall.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/com/Com.h"
#include "platform/com/Guids.h"

#include <zuk/zuk.h>

namespace zuk {

namespace {

struct Step {
    IBaseFilter* upstream;
    IBaseFilter* downstream;
    const char* failure;
};

HRESULT createFilter(GraphCall& call, IGraphBuilder* graph, REFCLSID clsid, const char16_t* name,
                     IBaseFilter** filter)
{
    const HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(filter));
    if (FAILED(hr))
        return hr;
    call.keep(*filter);
    graph->AddFilter(*filter, name);
    return hr;
}

HRESULT wrapInAvi(const zuk_char* input, const zuk_char* output, int32_t managed)
{
    LogString("----Wav wrapped in avi----\n");
    GraphCall call("Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    LogString("ACM:Calling CoCreateInstance for filter graph\n");
    IGraphBuilder* graph = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                            reinterpret_cast<void**>(&graph));
        FAILED(hr))
        return logFailure("ACM: CoCreateInstance Failed hr= ", hr);
    LogString("ACM:Succeeded\n");
    call.keep(graph);

    IBaseFilter* source = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&source));
        FAILED(hr))
        return logFailure("ACM: Failed hr= ", hr);
    LogString("ACM:Succeeded\n");
    call.keep(source);
    graph->AddFilter(source, u"File input");
    LogString("Setting file name for our filter\n");
    IFileSourceFilter* fileSource = nullptr;
    if (const HRESULT hr = source->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&fileSource));
        FAILED(hr))
        return logFailure("ACM: Failed hr= ", hr);
    LogString("ACM:Succeeded\n");
    call.keep(fileSource);
    LogString("ACM: Setting Filename\n");
    if (const HRESULT hr = fileSource->Load(input, nullptr); FAILED(hr))
        return logFailure("Ac3: Failed hr= ", hr);

    IBaseFilter* wrapper = nullptr;
    IBaseFilter* mux = nullptr;
    IBaseFilter* writer = nullptr;
    HRESULT created = createFilter(call, graph, CLSID_ACMWrapper, u"ACM wrapper", &wrapper);
    if (SUCCEEDED(created))
        created = createFilter(call, graph, CLSID_AviDest, u"AVI mux", &mux);
    if (SUCCEEDED(created))
        created = createFilter(call, graph, CLSID_FileWriter, u"File Sink", &writer);
    if (FAILED(created)) {
        LogString("Could not create ACM wrapper");
        return created;
    }

    IFileSinkFilter2* sink = nullptr;
    if (const HRESULT hr = writer->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(&sink)); FAILED(hr)) {
        LogString("Could not get file sink interface");
        return hr;
    }
    call.keep(sink);
    sink->SetFileName(output, nullptr);

    for (const Step& step : {Step{source, wrapper, "Could not connect InputFilter with ACM wrapper"},
                             Step{wrapper, mux, "Could not connect ACM Wrapper with avi mux"},
                             Step{mux, writer, "Could not connect avi mux with file sink"}}) {
        if (const HRESULT hr = connectFilters(graph, step.upstream, step.downstream); FAILED(hr)) {
            LogString(step.failure);
            return hr;
        }
    }

    LogString("ACM: Getting Run interface");
    IMediaControl* control = nullptr;
    if (const HRESULT hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)); FAILED(hr))
        return logFailure("ACM: Failed hr= ", hr);
    call.keep(control);
    LogString("ACM: Getting media event interface\n");
    IMediaEvent* events = nullptr;
    if (const HRESULT hr = graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)); FAILED(hr))
        return logFailure("RAA: Failed hr= ", hr);
    call.keep(events);
    return runToCompletion(control, events, "ACM");
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t DecodeToAVIWrapper(const zuk_char* input, const zuk_char* output, int32_t managed)
{
    return zuk::guardExport("DecodeToAVIWrapper", E_UNEXPECTED,
                            [&] { return zuk::wrapInAvi(input, output, managed); });
}
