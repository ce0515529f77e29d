// The filter graph manager's class, shared by the files that implement it:
//   FilterGraph.cpp      the graph object and its filter list
//   GraphConnection.cpp  connecting pins, inserting a splitter or converter
//   GraphStreaming.cpp   states, the streaming thread and events
//   GraphSeeking.cpp     positions and seeks of the audio stream
// Only these include it; everyone else creates a graph through FilterGraph.h.
#pragma once

#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/Streaming.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zuk::media::graph {

struct GraphEvent {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
};

struct GraphEntry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
};

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter);
PIN_DIRECTION directionOf(IPin* pin);
bool isConnected(IPin* pin);

class FilterGraph
    : public ComObject<IGraphBuilder, IMediaControl, IMediaEvent, IMediaSeeking, IMediaFilter, IMediaEventSink> {
public:
    FilterGraph() = default;
    ~FilterGraph() override;

    // IFilterGraph / IGraphBuilder: the filter list (FilterGraph.cpp)
    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override;
    HRESULT RemoveFilter(IBaseFilter* filter) override;
    HRESULT EnumFilters(IEnumFilters** enumerator) override;
    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override;

    // IFilterGraph / IGraphBuilder: connecting (GraphConnection.cpp)
    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect(IPin* pin) override;
    HRESULT Connect(IPin* output, IPin* input) override;
    HRESULT Render(IPin* output) override;
    HRESULT RenderFile(LPCWSTR file, LPCWSTR) override;
    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override;

    // IMediaControl / IMediaFilter (GraphStreaming.cpp)
    HRESULT Run() override;
    HRESULT Run(REFERENCE_TIME) override;
    HRESULT Pause() override;
    HRESULT Stop() override;
    HRESULT StopWhenReady() override;
    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override;
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock*) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;

    // IMediaEvent / IMediaEventSink (GraphStreaming.cpp)
    HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) override;
    HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override;
    HRESULT WaitForCompletion(long timeoutMs, long* code) override;
    HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) override;

    // IMediaSeeking (GraphSeeking.cpp)
    HRESULT GetCapabilities(DWORD* capabilities) override;
    HRESULT CheckCapabilities(DWORD* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(LONGLONG* duration) override;
    HRESULT GetStopPosition(LONGLONG* stop) override;
    HRESULT GetCurrentPosition(LONGLONG* current) override;
    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override;
    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) override;

protected:
    void* queryExtra(REFIID wanted) override;
    void finalRelease() override;

private:
    struct Source {
        ComPtr<IStreamSource> source;
        bool ended;
    };

    struct AudioLength {
        LONGLONG frames;
        long rate;
    };

    // ---- The filter list (FilterGraph.cpp) ----
    const GraphEntry* findEntry(std::u16string_view name) const;

    // ---- Connecting (GraphConnection.cpp) ----
    HRESULT addSplitterBehind(IPin* streamOutput, ComPtr<IBaseFilter>& splitter);
    HRESULT connectThroughSplitter(IPin* streamOutput, IPin* input);
    HRESULT connectThroughConverter(IPin* output, IPin* input);

    // ---- States, the streaming thread, events (GraphStreaming.cpp) ----
    void prepareRun();
    HRESULT setFilterStates(FILTER_STATE state);
    HRESULT changeState(FILTER_STATE state);
    void applyRequestedState();
    bool onStreamingThread() const;
    void waitUntilIdle();
    HRESULT settledState(DWORD timeoutMs, FILTER_STATE& state);
    void stream();
    Source* nextSource();
    void stopStreaming();
    void holdDeliveriesForSeek();
    void resumeDeliveriesAfterSeek();

    // ---- Seeking (GraphSeeking.cpp) ----
    ComPtr<IAudioPosition> audioPosition() const;
    std::optional<AudioLength> audioLength() const;
    LONGLONG toTimeFormat(LONGLONG frames, long rate) const;
    LONGLONG fromTimeFormat(LONGLONG value, long rate) const;
    HRESULT seekTo(IAudioPosition& source, LONGLONG frame);

    // Changed on the caller's thread only, and only while no buffer moves;
    // the streaming thread reads it (under `lock`) to set the filters' states.
    std::vector<GraphEntry> filters;

    // The one lock of the graph, and the one condition every wait on it uses.
    std::mutex lock;
    std::condition_variable changed;
    // ---- Guarded by `lock`: every field from here to the next heading ----
    FILTER_STATE requested = State_Stopped;
    FILTER_STATE filterState = State_Stopped; // what the filters were last set to
    bool delivering = false;                  // the streaming thread is inside a DeliverNext
    int idleWaiters = 0;                      // threads waiting for the streaming thread to be between buffers
    bool finished = false;
    bool seeking = false;
    bool shuttingDown = false;
    HRESULT failure = S_OK;
    std::vector<Source> sources;
    size_t sourceTurn = 0;
    std::deque<GraphEvent> events;
    std::set<LONG_PTR> completedRenderers;
    size_t expectedRenderers = 0;
    bool completeQueued = false;
    // ---- Not guarded by `lock` ----
    // Started by Run (under `lock`); joined by the destructor, or detached by
    // the thread itself when it deletes the graph.
    std::thread streamer;
    std::atomic<std::thread::id> streamerId;  // set once, by the Run that starts the thread
    bool releasedOnStreamingThread = false;   // touched by the streaming thread only
    GUID timeFormat = TIME_FORMAT_MEDIA_TIME; // the caller's thread only
};

} // namespace zuk::media::graph
