// ReplaceAudioAvi: a new AVI holding the first stream of an AVI (normally its
// video) and the sound of a separate sound file, which enters through the
// LibSndFileWrapper source filter module.
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

constexpr const char* kFailed = "RAA: Failed hr= ";

struct FilterStep {
    const char* creating;
    const char* created; // null: nothing said
    const char* adding;
    const char16_t* name;
};

// Creates a filter, keeps it and adds it to the graph, logging each step.
HRESULT addFilter(GraphCall& call, IGraphBuilder* graph, REFCLSID clsid, const FilterStep& step, IBaseFilter** filter)
{
    LogString(step.creating);
    if (const HRESULT hr = createKept(call, clsid, filter); FAILED(hr))
        return logFailure(kFailed, hr);
    if (step.created != nullptr)
        LogString(step.created);
    LogString(step.adding);
    if (const HRESULT hr = graph->AddFilter(*filter, step.name); FAILED(hr))
        return logFailure(kFailed, hr);
    return S_OK;
}

HRESULT replaceAudio(const zuk_char* input, const zuk_char* audio, const zuk_char* output, int32_t managed)
{
    if (refusesFiles({wideView(output)}, {wideView(input), wideView(audio)}, LogString))
        return E_INVALIDARG;
    LogString("----Replace Audio AVI----\n");
    GraphCall call("RAA:Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    LogString("RAA:Calling CoCreateInstance\n");
    IGraphBuilder* graph = nullptr;
    if (const HRESULT hr = createKept(call, CLSID_FilterGraph, &graph); FAILED(hr))
        return logFailure("RAA: CoCreateInstance Failed hr= ", hr);
    LogString("RAA:Succeeded\n");

    LogString("RAA: Adding Avi source filter\n");
    IBaseFilter* aviSource = nullptr;
    if (const HRESULT hr = graph->AddSourceFilter(input, input, &aviSource); FAILED(hr))
        return logFailure(kFailed, hr);
    if (const HRESULT hr = call.keep(aviSource); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");

    LogString("RAA: Adding LibSndFileWrapper\n");
    IBaseFilter* soundSource = nullptr;
    if (const HRESULT hr = createKept(call, CLSID_LibSndFileWrapper, &soundSource); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    LogString("Setting file name for our filter\n");
    IFileSourceFilter* soundFile = nullptr;
    if (const HRESULT hr = queryKept(call, soundSource, &soundFile); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    LogString("RAA: Setting Filename\n");
    if (const HRESULT hr = soundFile->Load(audio, nullptr); FAILED(hr))
        return logFailure(kFailed, hr);
    graph->AddFilter(soundSource, u"File Source");

    IBaseFilter* splitter = nullptr;
    IBaseFilter* mux = nullptr;
    IBaseFilter* writer = nullptr;
    if (const HRESULT hr = addFilter(call, graph, CLSID_AviSplitter,
            {"RAA: Creating AVI splitter\n", "RAA:Succeeded\n", "RAA: adding filter to graph\n", u"Avi Splitter"},
            &splitter);
        FAILED(hr))
        return hr;
    if (const HRESULT hr = addFilter(call, graph, CLSID_AviDest,
            {"Creating demux\n", nullptr, "RAA: adding demux to graph\n", u"Avi Mux"}, &mux);
        FAILED(hr))
        return hr;
    if (const HRESULT hr = addFilter(call, graph, CLSID_FileWriter,
            {"RAA: Creating File Sync\n", nullptr, "RAA: Adding fileSync to graph\n", u"File Sink"}, &writer);
        FAILED(hr))
        return hr;
    LogString("RAA:Gettng File Interface for file Sync\n");
    IFileSinkFilter2* sink = nullptr;
    if (const HRESULT hr = queryKept(call, writer, &sink); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Setting filename\n");
    if (const HRESULT hr = sink->SetFileName(output, nullptr); FAILED(hr))
        return logFailure(kFailed, hr);

    struct Connection {
        const char* line;
        IBaseFilter* upstream;
        IBaseFilter* downstream;
    };
    // The splitter's first free output is the AVI's first stream; its other
    // streams, the old audio among them, stay unconnected and are not written.
    for (const Connection& connection : {Connection{"Connecting AVi file to splitter\n", aviSource, splitter},
             Connection{"Connecting Avi splitter to Avi mux\n", splitter, mux},
             Connection{"Connection audio to avi mux\n", soundSource, mux},
             Connection{"RAA:Connecting Demux to output file\n", mux, writer}}) {
        LogString(connection.line);
        if (const HRESULT hr = connectFilters(graph, connection.upstream, connection.downstream); FAILED(hr))
            return logFailure(kFailed, hr);
    }

    LogString("RAA: Getting Run interface\n");
    IMediaControl* control = nullptr;
    if (const HRESULT hr = queryKept(call, graph, &control); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA: Getting media event interface\n");
    IMediaEvent* events = nullptr;
    if (const HRESULT hr = queryKept(call, graph, &events); FAILED(hr))
        return logFailure(kFailed, hr);
    return runToCompletion(control, events, "RAA");
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t ReplaceAudioAvi(
    const zuk_char* input, const zuk_char* audio, const zuk_char* output, int32_t managed)
{
    return zuk::guardExport(
        "ReplaceAudioAvi", E_UNEXPECTED, [&] { return zuk::replaceAudio(input, audio, output, managed); });
}
