// What the hand-built graph operations (AC-3 detection, audio wrapped in
// AVI, replacing the audio of an AVI) share: COM set-up and tear-down around
// one call, pin lookup, filter connection, and running a graph to its end.
#pragma once

#include "dsax/ComReleaseList.h"
#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"

#include <cstdint>
#include <utility>

namespace zuk {

// COM for the length of one call, and the list of what the call obtains.
// Unless `managed`, COM is initialised on this thread and uninitialised at
// the end; everything added to `objects` is released first, last added first.
class GraphCall {
public:
    GraphCall(const char* initializeLine, int32_t managed);
    ~GraphCall();
    GraphCall(const GraphCall&) = delete;
    GraphCall& operator=(const GraphCall&) = delete;

    // S_OK, or why COM could not be initialised (then the call must end).
    HRESULT setUpResult() const { return setUp; }

    // Adds `object` to the list, which then holds its reference. The list
    // has room for more than any of the operations obtains; should it be
    // full all the same, the reference is released here, `object` nulled and
    // E_OUTOFMEMORY returned.
    template <class T>
    HRESULT keep(T*& object)
    {
        if (objects.add(object) == 0)
            return S_OK;
        if (T* refused = std::exchange(object, nullptr))
            refused->Release();
        return E_OUTOFMEMORY;
    }

private:
    ComReleaseList objects;
    HRESULT setUp = S_OK;
    bool initialized = false;
};

// Creates an object of `clsid` as `T` (no aggregation, in process) and adds
// it to `call`'s list (see GraphCall::keep).
template <class T>
HRESULT createKept(GraphCall& call, REFCLSID clsid, T** object)
{
    const HRESULT hr =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iidOf<T>(), reinterpret_cast<void**>(object));
    if (FAILED(hr))
        return hr;
    const HRESULT kept = call.keep(*object);
    return FAILED(kept) ? kept : hr;
}

// Asks `object` for `T` and adds what it gives to `call`'s list (see GraphCall::keep).
template <class T>
HRESULT queryKept(GraphCall& call, IUnknown* object, T** wanted)
{
    const HRESULT hr = object->QueryInterface(iidOf<T>(), reinterpret_cast<void**>(wanted));
    if (FAILED(hr))
        return hr;
    const HRESULT kept = call.keep(*wanted);
    return FAILED(kept) ? kept : hr;
}

// What one operation logs while it makes its graph and loads its file.
struct FileGraphLines {
    const char* creatingGraph;
    const char* graphFailed;
    const char* graphCreated;
    const char* creatingSource; // null: nothing said
    const char* sourceFailed;
    const char* sourceCreated;
    const char* sourceQueryFailed;
    const char* sourceQueried;
    const char* loading;
    const char* loadFailed;
};

// A graph with a File Source named "File input" that has loaded `file`;
// every object is kept by `call`. The failing step's code otherwise, logged.
HRESULT makeFileGraph(
    GraphCall& call, const FileGraphLines& lines, const char16_t* file, IGraphBuilder** graph, IBaseFilter** source);

// The first pin of `filter` in `direction` that is not connected; E_FAIL when
// there is none. The caller releases the pin.
HRESULT getUnconnectedPin(IBaseFilter* filter, PIN_DIRECTION direction, IPin** pin);

// Connects the first free output of `upstream` to the first free input of
// `downstream`, letting the graph insert what the connection needs.
HRESULT connectFilters(IGraphBuilder* graph, IBaseFilter* upstream, IBaseFilter* downstream);

// Logs `line`, `hr` as a signed decimal and a line end; returns `hr`.
HRESULT logFailure(const char* line, HRESULT hr);

// Runs the graph until its stream ends, then stops it; `prefix` ("ACM" or
// "RAA") starts its log lines. A run that ended in an abort gives the abort's
// code: the output is then incomplete.
HRESULT runToCompletion(IMediaControl* control, IMediaEvent* events, const char* prefix);

} // namespace zuk
