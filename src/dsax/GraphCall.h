// What the hand-built graph operations (AC-3 detection, audio wrapped in
// AVI, replacing the audio of an AVI) share: COM set-up and tear-down around
// one call, pin lookup, filter connection, and running a graph to its end.
#pragma once

#include "dsax/ComReleaseList.h"
#include "platform/media/MediaInterfaces.h"

#include <cstdint>

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
    // has room for more than any of the operations obtains.
    void keep(IUnknown* object) { objects.add(object); }

private:
    ComReleaseList objects;
    HRESULT setUp = S_OK;
    bool initialized = false;
};

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
