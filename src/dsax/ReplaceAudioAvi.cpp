// ReplaceAudioAvi: a new AVI holding the first stream of an AVI (normally its
// video) and the sound of a separate sound file, which enters through the
// LibSndFileWrapper source filter module.
#include "dsax/GraphCall.h"
#include "log/Log.h"
#include "platform/ExportGuard.h"
#include "platform/com/Com.h"
#include "platform/com/Guids.h"

#include <zuk/zuk.h>

namespace zuk {

namespace {

constexpr const char* kFailed = "RAA: Failed hr= ";

HRESULT replaceAudio(const zuk_char* input, const zuk_char* audio, const zuk_char* output, int32_t managed)
{
    LogString("----Replace Audio AVI----\n");
    GraphCall call("RAA:Initialize COM interface\n", managed);
    if (FAILED(call.setUpResult()))
        return call.setUpResult();

    LogString("RAA:Calling CoCreateInstance\n");
    IGraphBuilder* graph = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                            reinterpret_cast<void**>(&graph));
        FAILED(hr))
        return logFailure("RAA: CoCreateInstance Failed hr= ", hr);
    LogString("RAA:Succeeded\n");
    call.keep(graph);

    LogString("RAA: Adding Avi source filter\n");
    IBaseFilter* aviSource = nullptr;
    if (const HRESULT hr = graph->AddSourceFilter(input, input, &aviSource); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    call.keep(aviSource);

    LogString("RAA: Adding LibSndFileWrapper\n");
    IBaseFilter* soundSource = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_LibSndFileWrapper, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&soundSource));
        FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    call.keep(soundSource);
    LogString("Setting file name for our filter\n");
    IFileSourceFilter* soundFile = nullptr;
    if (const HRESULT hr = soundSource->QueryInterface(IID_IFileSourceFilter, reinterpret_cast<void**>(&soundFile));
        FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    call.keep(soundFile);
    LogString("RAA: Setting Filename\n");
    if (const HRESULT hr = soundFile->Load(audio, nullptr); FAILED(hr))
        return logFailure(kFailed, hr);
    graph->AddFilter(soundSource, u"File Source");

    LogString("RAA: Creating AVI splitter\n");
    IBaseFilter* splitter = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_AviSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&splitter));
        FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Succeeded\n");
    call.keep(splitter);
    LogString("RAA: adding filter to graph\n");
    if (const HRESULT hr = graph->AddFilter(splitter, u"Avi Splitter"); FAILED(hr))
        return logFailure(kFailed, hr);

    LogString("Creating demux\n");
    IBaseFilter* mux = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_AviDest, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&mux));
        FAILED(hr))
        return logFailure(kFailed, hr);
    call.keep(mux);
    LogString("RAA: adding demux to graph\n");
    if (const HRESULT hr = graph->AddFilter(mux, u"Avi Mux"); FAILED(hr))
        return logFailure(kFailed, hr);

    LogString("RAA: Creating File Sync\n");
    IBaseFilter* writer = nullptr;
    if (const HRESULT hr = CoCreateInstance(CLSID_FileWriter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                            reinterpret_cast<void**>(&writer));
        FAILED(hr))
        return logFailure(kFailed, hr);
    call.keep(writer);
    LogString("RAA: Adding fileSync to graph\n");
    if (const HRESULT hr = graph->AddFilter(writer, u"File Sink"); FAILED(hr))
        return logFailure(kFailed, hr);
    LogString("RAA:Gettng File Interface for file Sync\n");
    IFileSinkFilter2* sink = nullptr;
    if (const HRESULT hr = writer->QueryInterface(IID_IFileSinkFilter2, reinterpret_cast<void**>(&sink)); FAILED(hr))
        return logFailure(kFailed, hr);
    call.keep(sink);
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
    if (const HRESULT hr = graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)); FAILED(hr))
        return logFailure(kFailed, hr);
    call.keep(control);
    LogString("RAA: Getting media event interface\n");
    IMediaEvent* events = nullptr;
    if (const HRESULT hr = graph->QueryInterface(IID_IMediaEvent, reinterpret_cast<void**>(&events)); FAILED(hr))
        return logFailure(kFailed, hr);
    call.keep(events);
    return runToCompletion(control, events, "RAA");
}

} // namespace

} // namespace zuk

extern "C" ZUK_API int32_t ReplaceAudioAvi(const zuk_char* input, const zuk_char* audio, const zuk_char* output,
                                           int32_t managed)
{
    return zuk::guardExport("ReplaceAudioAvi", E_UNEXPECTED,
                            [&] { return zuk::replaceAudio(input, audio, output, managed); });
}
