// States, the streaming thread and events: everything that takes the graph's
// lock. README.md in this folder tells which thread does what.
#include "platform/com/ThrownFailure.h"
#include "platform/media/FilterGraphImpl.h"

#include <algorithm>
#include <chrono>

namespace zuk::media::graph {

namespace {

// A renderer ends a stream: connected inputs, no outputs.
bool isRenderer(IBaseFilter* filter)
{
    bool connectedInput = false;
    for (const auto& pin : pinsOf(filter)) {
        if (directionOf(pin.get()) == PINDIR_OUTPUT)
            return false;
        connectedInput = connectedInput || isConnected(pin.get());
    }
    return connectedInput;
}

// Counts a thread that waits, under the graph's lock, for the streaming
// thread to finish its delivery; the streaming thread wakes waiters only
// when there are some.
class IdleWait {
public:
    explicit IdleWait(int& waiting) : count(waiting) { ++count; }
    ~IdleWait() { --count; }
    IdleWait(const IdleWait&) = delete;
    IdleWait& operator=(const IdleWait&) = delete;

private:
    int& count;
};

template <class Predicate>
bool waitFor(std::condition_variable& changed, std::unique_lock<std::mutex>& guard, DWORD timeoutMs, Predicate ready)
{
    if (timeoutMs == INFINITE) {
        changed.wait(guard, ready);
        return true;
    }
    return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
}

} // namespace

// ---- IMediaControl / IMediaFilter ----------------------------------------------------

HRESULT FilterGraph::Run()
{
    std::unique_lock guard(lock);
    if (requested != State_Running) {
        // A filter that cannot run (an output that cannot be created)
        // fails the call, and nothing runs.
        if (const HRESULT hr = setFilterStates(State_Running); FAILED(hr)) {
            setFilterStates(requested);
            filterState = requested;
            return hr;
        }
        filterState = State_Running;
        prepareRun();
        requested = State_Running;
    }
    if (!streamer.joinable()) {
        streamer = std::thread([this] { stream(); });
        streamerId = streamer.get_id();
    }
    guard.unlock();
    changed.notify_all();
    return S_OK;
}

HRESULT FilterGraph::Run(REFERENCE_TIME)
{
    return Run();
}

HRESULT FilterGraph::Pause()
{
    return changeState(State_Paused);
}

HRESULT FilterGraph::Stop()
{
    return changeState(State_Stopped);
}

HRESULT FilterGraph::StopWhenReady()
{
    return changeState(State_Stopped);
}

HRESULT FilterGraph::GetState(LONG timeoutMs, OAFilterState* state)
{
    if (state == nullptr)
        return E_POINTER;
    FILTER_STATE current = State_Stopped;
    const HRESULT hr = settledState(static_cast<DWORD>(timeoutMs), current);
    *state = current;
    return hr;
}

HRESULT FilterGraph::GetState(DWORD timeoutMs, FILTER_STATE* state)
{
    if (state == nullptr)
        return E_POINTER;
    return settledState(timeoutMs, *state);
}

HRESULT FilterGraph::SetSyncSource(IReferenceClock*)
{
    return S_OK;
}

HRESULT FilterGraph::GetSyncSource(IReferenceClock** clock)
{
    if (clock == nullptr)
        return E_POINTER;
    *clock = nullptr;
    return S_OK;
}

// ---- IMediaEvent / IMediaEventSink -----------------------------------------------------

HRESULT FilterGraph::GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs)
{
    if (code == nullptr || param1 == nullptr || param2 == nullptr)
        return E_POINTER;
    std::unique_lock guard(lock);
    if (!waitFor(changed, guard, static_cast<DWORD>(timeoutMs), [&] { return !events.empty(); }))
        return E_ABORT;
    const GraphEvent event = events.front();
    events.pop_front();
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

HRESULT FilterGraph::FreeEventParams(long, LONG_PTR, LONG_PTR)
{
    return S_OK;
}

HRESULT FilterGraph::WaitForCompletion(long timeoutMs, long* code)
{
    if (code == nullptr)
        return E_POINTER;
    *code = 0;
    std::unique_lock guard(lock);
    const auto ending = [&] {
        return std::find_if(events.begin(), events.end(), [](const GraphEvent& event) {
            return event.code == EC_COMPLETE || event.code == EC_ERRORABORT || event.code == EC_USERABORT;
        });
    };
    if (requested != State_Running && ending() == events.end())
        return VFW_E_WRONG_STATE;
    if (!waitFor(changed, guard, static_cast<DWORD>(timeoutMs),
            [&] { return ending() != events.end() || requested != State_Running; }))
        return E_ABORT;
    const auto found = ending();
    if (found == events.end())
        return VFW_E_WRONG_STATE;
    // The event stays queued: GetEvent still hands out its parameters
    // (an abort's code).
    *code = found->code;
    return S_OK;
}

HRESULT FilterGraph::Notify(long code, LONG_PTR param1, LONG_PTR param2)
{
    {
        std::lock_guard guard(lock);
        if (code == EC_COMPLETE) {
            completedRenderers.insert(param2);
            if (!completeQueued && completedRenderers.size() >= expectedRenderers) {
                completeQueued = true;
                events.push_back({EC_COMPLETE, S_OK, 0});
            }
        } else {
            events.push_back({code, param1, param2});
        }
    }
    changed.notify_all();
    return S_OK;
}

// ---- The graph's life ---------------------------------------------------------------

// The last reference let go on the streaming thread (a callback releasing
// the graph) leaves the graph in use below that thread's delivery: the
// thread deletes it once the delivery has returned. From any other thread
// the graph goes at once, its thread stopped and joined, so that its
// filters have let go of their files when the release returns.
void FilterGraph::finalRelease()
{
    if (onStreamingThread())
        releasedOnStreamingThread = true;
    else
        delete this;
}

void FilterGraph::stopStreaming()
{
    {
        std::lock_guard guard(lock);
        shuttingDown = true;
    }
    changed.notify_all();
    // The streaming thread deletes the graph only once it has detached itself.
    if (streamer.joinable())
        streamer.join();
}

// ---- States ---------------------------------------------------------------------------

void FilterGraph::prepareRun()
{
    // Sources keep whether they have ended: running again after the end
    // must end again, not wait for buffers that will not come.
    std::vector<Source> current;
    for (const GraphEntry& entry : filters) {
        auto source = entry.filter.as<IStreamSource>();
        if (!source || !source->IsConnected())
            continue;
        const auto known = std::find_if(
            sources.begin(), sources.end(), [&](const Source& each) { return each.source.get() == source.get(); });
        current.push_back(Source{source, known != sources.end() && known->ended});
    }
    sources = std::move(current);
    expectedRenderers = 0;
    for (const GraphEntry& entry : filters)
        if (isRenderer(entry.filter.get()))
            ++expectedRenderers;
    completedRenderers.clear();
    completeQueued = false;
    const bool allEnded = std::all_of(sources.begin(), sources.end(), [](const Source& each) { return each.ended; });
    if (finished || allEnded) {
        finished = true;
        events.push_back({failure != S_OK ? EC_ERRORABORT : EC_COMPLETE, failure, 0});
        completeQueued = true;
    }
}

// The first failure of a filter; every filter is asked all the same.
HRESULT FilterGraph::setFilterStates(FILTER_STATE state)
{
    HRESULT first = S_OK;
    for (const GraphEntry& entry : filters) {
        const HRESULT hr = state == State_Running ? entry.filter->Run(0)
            : state == State_Paused               ? entry.filter->Pause()
                                                  : entry.filter->Stop();
        if (FAILED(hr) && SUCCEEDED(first))
            first = hr;
    }
    return first;
}

// The filters take the new state at the next buffer boundary, never while
// a buffer is on its way through them: a filter that lets go of what it
// holds when it stops (a file, a muxer) must not do so under a delivery.
// Called from the streaming thread, the state is only recorded; the
// thread applies it once its delivery has returned.
HRESULT FilterGraph::changeState(FILTER_STATE state)
{
    std::unique_lock guard(lock);
    requested = state;
    if (!onStreamingThread()) {
        const IdleWait counted(idleWaiters);
        changed.wait(guard, [&] { return !delivering; });
        applyRequestedState();
    }
    guard.unlock();
    changed.notify_all();
    return S_OK;
}

// Under the lock, with no buffer moving.
void FilterGraph::applyRequestedState()
{
    if (filterState == requested)
        return;
    setFilterStates(requested);
    filterState = requested;
}

bool FilterGraph::onStreamingThread() const
{
    return streamerId == std::this_thread::get_id();
}

void FilterGraph::waitUntilIdle()
{
    if (onStreamingThread())
        return;
    std::unique_lock guard(lock);
    const IdleWait counted(idleWaiters);
    changed.wait(guard, [&] { return !delivering; });
}

// The state once the streaming thread has reached a buffer boundary; while
// it still delivers after a pause or stop, the graph still counts as running.
HRESULT FilterGraph::settledState(DWORD timeoutMs, FILTER_STATE& state)
{
    std::unique_lock guard(lock);
    const IdleWait counted(idleWaiters);
    const bool settled = requested == State_Running || onStreamingThread() ||
        waitFor(changed, guard, timeoutMs, [&] { return !delivering || requested == State_Running; });
    if (!settled) {
        state = State_Running;
        return VFW_S_STATE_INTERMEDIATE;
    }
    state = requested;
    return S_OK;
}

// ---- The streaming thread ---------------------------------------------------------------

// One buffer at a time while the graph runs.
void FilterGraph::stream()
{
    std::unique_lock guard(lock);
    while (true) {
        changed.wait(guard, [&] {
            return shuttingDown || releasedOnStreamingThread || (requested == State_Running && !finished && !seeking);
        });
        if (shuttingDown)
            return;
        if (releasedOnStreamingThread) {
            guard.unlock();
            streamer.detach(); // never join a thread from itself
            delete this;
            return;
        }
        Source* source = nextSource();
        if (source == nullptr) {
            finished = true;
            continue;
        }
        delivering = true;
        const ComPtr<IStreamSource> current = source->source;
        guard.unlock();
        // Whatever a delivery throws (a callback's, a filter's) ends the
        // run as a failure instead of the process.
        const HRESULT hr = hresultOf([&] { return current->DeliverNext(); });
        guard.lock();
        delivering = false;
        applyRequestedState();
        if (hr == S_FALSE || FAILED(hr))
            source->ended = true;
        if (hr == S_FALSE) {
            // The renderers saw this end in an earlier run: end this run too.
            if (!completeQueued && nextSource() == nullptr) {
                completeQueued = true;
                events.push_back({EC_COMPLETE, S_OK, 0});
            }
        }
        if (FAILED(hr)) {
            failure = hr;
            finished = true;
            events.push_back({EC_ERRORABORT, hr, 0});
        }
        // Waking every waiter after every buffer costs more than decoding
        // small buffers: wake only those that wait for a boundary, or an end.
        if (idleWaiters > 0 || hr != S_OK)
            changed.notify_all();
    }
}

FilterGraph::Source* FilterGraph::nextSource()
{
    for (size_t step = 0; step < sources.size(); ++step) {
        Source& candidate = sources[(sourceTurn + step) % sources.size()];
        if (!candidate.ended) {
            sourceTurn = (sourceTurn + step + 1) % sources.size();
            return &candidate;
        }
    }
    return nullptr;
}

// ---- Around a seek ----------------------------------------------------------------------

// Keeps the streaming thread between buffers until the seek is done (it may
// be the caller, seeking from a callback).
void FilterGraph::holdDeliveriesForSeek()
{
    std::unique_lock guard(lock);
    seeking = true;
    const IdleWait counted(idleWaiters);
    changed.wait(guard, [&] { return !delivering || onStreamingThread(); });
}

// The stream goes on from its new position: whatever ended, failed or
// completed before it is forgotten.
void FilterGraph::resumeDeliveriesAfterSeek()
{
    {
        std::lock_guard guard(lock);
        seeking = false;
        finished = false;
        failure = S_OK;
        for (Source& each : sources)
            each.ended = false;
        completedRenderers.clear();
        completeQueued = false;
        std::erase_if(events, [](const GraphEvent& event) { return event.code == EC_COMPLETE; });
    }
    changed.notify_all();
}

} // namespace zuk::media::graph
