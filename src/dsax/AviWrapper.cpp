// DecodeToAVIWrapper: the first audio stream of a media file, decoded, as the
// only stream of an AVI file (file source, ACM wrapper, AVI mux, file writer).
#include "dsax/GraphCall.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/FileIdentity.h"
#include "platform/WideText.h"
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

// Creates a filter, keeps it and adds it to the graph as `name`.
HRESULT addFilter(GraphCall& call, IGraphBuilder* graph, REFCLSID clsid, const char16_t* name, IBaseFilter** filter)
{
    const HRESULT hr = createKept(call, clsid, filter);
    if (SUCCEEDED(hr))
        graph->AddFilter(*filter, name);
    return hr;
}

HRESULT wrapInAvi(const zuk_char* input, const zuk_char* output, int32_t managed)
{
    if (refusesFiles({wideView(output)}, {wideView(input)}, LogString))
        return E_INVALIDARG;
    LogString("----Wav wrapped in avi----\n");
    GraphCall call("Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    static constexpr FileGraphLines kLines{"ACM:Calling CoCreateInstance for filter graph\n",
        "ACM: CoCreateInstance Failed hr= ", "ACM:Succeeded\n", nullptr, "ACM: Failed hr= ", "ACM:Succeeded\n",
        "ACM: Failed hr= ", "ACM:Succeeded\n", "ACM: Setting Filename\n", "Ac3: Failed hr= "};
    IGraphBuilder* graph = nullptr;
    IBaseFilter* source = nullptr;
    if (const HRESULT hr = makeFileGraph(call, kLines, input, &graph, &source); FAILED(hr))
        return hr;

    IBaseFilter* wrapper = nullptr;
    IBaseFilter* mux = nullptr;
    IBaseFilter* writer = nullptr;
    HRESULT created = addFilter(call, graph, CLSID_ACMWrapper, u"ACM wrapper", &wrapper);
    if (SUCCEEDED(created))
        created = addFilter(call, graph, CLSID_AviDest, u"AVI mux", &mux);
    if (SUCCEEDED(created))
        created = addFilter(call, graph, CLSID_FileWriter, u"File Sink", &writer);
    if (FAILED(created)) {
        LogString("Could not create ACM wrapper");
        return created;
    }

    IFileSinkFilter2* sink = nullptr;
    if (const HRESULT hr = queryKept(call, writer, &sink); FAILED(hr)) {
        LogString("Could not get file sink interface");
        return hr;
    }
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
    if (const HRESULT hr = queryKept(call, graph, &control); FAILED(hr))
        return logFailure("ACM: Failed hr= ", hr);
    LogString("ACM: Getting media event interface\n");
    IMediaEvent* events = nullptr;
    if (const HRESULT hr = queryKept(call, graph, &events); FAILED(hr))
        return logFailure("RAA: Failed hr= ", hr);
    return runToCompletion(control, events, "ACM");
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t DecodeToAVIWrapper(const zuk_char* input, const zuk_char* output, int32_t managed)
{
    return zuk::guardExport("DecodeToAVIWrapper", E_UNEXPECTED, [&] { return zuk::wrapInAvi(input, output, managed); });
}
