#include "dsax/GraphCall.h"

#include "log/Log.h"
#include "platform/com/Com.h"
#include "platform/com/Guids.h"

#include <string>

namespace zuk {

namespace {

constexpr int32_t kReleaseListCapacity = 20;

// One piece, as the platform's code logs these lines.
void logLine(const char* prefix, const char* rest)
{
    LogString((std::string(prefix) + rest).c_str());
}

// The code an abort event carries; E_FAIL when it is no longer queued.
HRESULT abortCode(IMediaEvent* events)
{
    long code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    while (events->GetEvent(&code, &param1, &param2, 0) == S_OK) {
        events->FreeEventParams(code, param1, param2);
        if ((code == EC_ERRORABORT || code == EC_USERABORT) && FAILED(static_cast<HRESULT>(param1)))
            return static_cast<HRESULT>(param1);
    }
    return E_FAIL;
}

} // namespace

GraphCall::GraphCall(const char* initializeLine, int32_t managed)
{
    objects.setUp(kReleaseListCapacity);
    LogString(initializeLine);
    if (managed != 0) {
        LogString("Skipping COM INIT. .Net flag\n");
        return;
    }
    setUp = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(setUp)) {
        LogString("COM INIT FAILED\n");
        return;
    }
    initialized = true;
}

GraphCall::~GraphCall()
{
    objects.releaseAll();
    if (initialized)
        CoUninitialize();
}

HRESULT makeFileGraph(
    GraphCall& call, const FileGraphLines& lines, const char16_t* file, IGraphBuilder** graph, IBaseFilter** source)
{
    LogString(lines.creatingGraph);
    if (const HRESULT hr = createKept(call, CLSID_FilterGraph, graph); FAILED(hr))
        return logFailure(lines.graphFailed, hr);
    LogString(lines.graphCreated);
    if (lines.creatingSource != nullptr)
        LogString(lines.creatingSource);
    if (const HRESULT hr = createKept(call, CLSID_AsyncReader, source); FAILED(hr))
        return logFailure(lines.sourceFailed, hr);
    LogString(lines.sourceCreated);
    (*graph)->AddFilter(*source, u"File input");
    LogString("Setting file name for our filter\n");
    IFileSourceFilter* loader = nullptr;
    if (const HRESULT hr = queryKept(call, *source, &loader); FAILED(hr))
        return logFailure(lines.sourceQueryFailed, hr);
    LogString(lines.sourceQueried);
    LogString(lines.loading);
    if (const HRESULT hr = loader->Load(file, nullptr); FAILED(hr))
        return logFailure(lines.loadFailed, hr);
    return S_OK;
}

HRESULT getUnconnectedPin(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin)
{
    if (pin == nullptr)
        return E_POINTER;
    *pin = nullptr;
    if (filter == nullptr)
        return E_POINTER;
    ComPtr<IEnumPins> pins;
    if (const HRESULT hr = filter->EnumPins(pins.put()); FAILED(hr))
        return hr;
    ComPtr<IPin> candidate;
    while (pins->Next(1, candidate.put(), nullptr) == S_OK) {
        PIN_DIRECTION found = PINDIR_INPUT;
        if (FAILED(candidate->QueryDirection(&found)) || found != direction)
            continue;
        ComPtr<IPin> peer;
        if (FAILED(candidate->ConnectedTo(peer.put()))) {
            *pin = candidate.detach();
            return S_OK;
        }
    }
    return E_FAIL;
}

HRESULT connectFilters(IGraphBuilder* graph, IBaseFilter* upstream, IBaseFilter* downstream)
{
    if (graph == nullptr || upstream == nullptr || downstream == nullptr)
        return E_POINTER;
    ComPtr<IPin> output;
    if (const HRESULT hr = getUnconnectedPin(upstream, PINDIR_OUTPUT, output.put()); FAILED(hr))
        return hr;
    ComPtr<IPin> input;
    if (const HRESULT hr = getUnconnectedPin(downstream, PINDIR_INPUT, input.put()); FAILED(hr))
        return hr;
    return graph->Connect(output.get(), input.get());
}

HRESULT logFailure(const char* line, HRESULT hr)
{
    LogString(line);
    logNumber(hr);
    LogString("\n");
    return hr;
}

HRESULT runToCompletion(IMediaControl* control, IMediaEvent* events, const char* prefix)
{
    const std::string failed = std::string(prefix) + ": Failed hr= ";
    logLine(prefix, ": Running\n");
    if (const HRESULT hr = control->Run(); FAILED(hr))
        return logFailure(failed.c_str(), hr);
    logLine(prefix, ": waiting for completion\n");
    long ending = 0;
    if (const HRESULT hr = events->WaitForCompletion(INFINITE, &ending); FAILED(hr))
        return logFailure(failed.c_str(), hr);
    logLine(prefix, ": Calling stop\n");
    const HRESULT stopped = control->Stop();
    if (FAILED(stopped))
        return logFailure(failed.c_str(), stopped);
    if (ending == EC_ERRORABORT || ending == EC_USERABORT)
        return logFailure(failed.c_str(), abortCode(events));
    return stopped;
}

} // namespace zuk
