#include "platform/media/FilterGraph.h"

#include "platform/com/ThrownFailure.h"
#include "platform/media/BaseFilter.h"
#include "platform/media/MediaSplitter.h"
#include "platform/media/NullRenderer.h"
#include "platform/media/PcmConverter.h"
#include "platform/media/SnapshotEnumerator.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace zuk::media {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10'000'000;

struct GraphEvent {
    long code;
    LONG_PTR param1;
    LONG_PTR param2;
};

struct GraphEntry {
    ComPtr<IBaseFilter> filter;
    std::u16string name;
};

std::vector<ComPtr<IPin>> pinsOf(IBaseFilter* filter)
{
    std::vector<ComPtr<IPin>> pins;
    ComPtr<IEnumPins> enumerator;
    if (FAILED(filter->EnumPins(enumerator.put())))
        return pins;
    ComPtr<IPin> pin;
    while (enumerator->Next(1, pin.put(), nullptr) == S_OK)
        pins.push_back(pin);
    return pins;
}

PIN_DIRECTION directionOf(IPin* pin)
{
    PIN_DIRECTION direction = PINDIR_INPUT;
    pin->QueryDirection(&direction);
    return direction;
}

bool isConnected(IPin* pin)
{
    ComPtr<IPin> peer;
    return SUCCEEDED(pin->ConnectedTo(peer.put()));
}

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

ComPtr<IPin> pinNamed(IBaseFilter* filter, const char16_t* id)
{
    ComPtr<IPin> pin;
    filter->FindPin(id, pin.put());
    return pin;
}

template <class Factory>
ComPtr<IBaseFilter> create(Factory factory)
{
    ComPtr<IBaseFilter> filter;
    factory(IID_IBaseFilter, filter.putVoid());
    return filter;
}

// A throw-away input pin that refuses every connection and notes the first
// type offered: how the graph learns what an output pin carries.
class OfferProbePin : public ComObject<IPin> {
public:
    HRESULT Connect(IPin*, const AM_MEDIA_TYPE*) override { return E_UNEXPECTED; }
    HRESULT ReceiveConnection(IPin*, const AM_MEDIA_TYPE* type) override
    {
        if (type != nullptr && !offered) {
            offered = true;
            major = type->majortype;
            subtype = type->subtype;
        }
        return VFW_E_TYPE_NOT_ACCEPTED;
    }
    HRESULT Disconnect() override { return S_FALSE; }
    HRESULT ConnectedTo(IPin** pin) override
    {
        if (pin != nullptr)
            *pin = nullptr;
        return VFW_E_NOT_CONNECTED;
    }
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE*) override { return VFW_E_NOT_CONNECTED; }
    HRESULT QueryPinInfo(PIN_INFO*) override { return E_NOTIMPL; }
    HRESULT QueryDirection(PIN_DIRECTION* direction) override
    {
        if (direction == nullptr)
            return E_POINTER;
        *direction = PINDIR_INPUT;
        return S_OK;
    }
    HRESULT QueryId(LPWSTR*) override { return E_NOTIMPL; }
    HRESULT QueryAccept(const AM_MEDIA_TYPE*) override { return S_FALSE; }
    HRESULT EndOfStream() override { return S_OK; }
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }

    bool offered = false;
    GUID major = GUID_NULL;
    GUID subtype = GUID_NULL;
};

ComPtr<OfferProbePin> probeOffer(IPin* output)
{
    auto probe = makeComObject<OfferProbePin>();
    output->Connect(probe.get(), nullptr);
    return probe;
}

GUID offeredMajorType(IPin* output)
{
    return probeOffer(output)->major;
}

GUID offeredSubtype(IPin* output)
{
    return probeOffer(output)->subtype;
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

class FilterGraph
    : public ComObject<IGraphBuilder, IMediaControl, IMediaEvent, IMediaSeeking, IMediaFilter, IMediaEventSink> {
public:
    FilterGraph() = default;

    ~FilterGraph() override
    {
        {
            std::lock_guard guard(lock);
            shuttingDown = true;
        }
        changed.notify_all();
        // The streaming thread deletes the graph only once it has detached itself.
        if (streamer.joinable())
            streamer.join();
        for (GraphEntry& entry : filters) {
            for (const auto& pin : pinsOf(entry.filter.get()))
                pin->Disconnect();
            entry.filter->JoinFilterGraph(nullptr, nullptr);
        }
    }

    // ---- IFilterGraph / IGraphBuilder ------------------------------------------------

    HRESULT AddFilter(IBaseFilter* filter, LPCWSTR name) override
    {
        if (filter == nullptr)
            return E_POINTER;
        std::u16string unique = name != nullptr ? std::u16string(name) : std::u16string();
        HRESULT result = S_OK;
        for (int serial = 1; findEntry(unique) != nullptr; ++serial) {
            char digits[16];
            std::snprintf(digits, sizeof digits, " %04d", serial);
            unique = name != nullptr ? std::u16string(name) : std::u16string();
            unique.append(digits, digits + std::strlen(digits));
            result = VFW_S_DUPLICATE_NAME;
        }
        if (const HRESULT hr = filter->JoinFilterGraph(this, unique.c_str()); FAILED(hr))
            return hr;
        filters.push_back(GraphEntry{ComPtr<IBaseFilter>(filter), unique});
        return result;
    }

    HRESULT RemoveFilter(IBaseFilter* filter) override
    {
        if (filter == nullptr)
            return E_POINTER;
        const auto found = std::find_if(filters.begin(), filters.end(),
                                        [&](const GraphEntry& entry) { return entry.filter.get() == filter; });
        if (found == filters.end())
            return VFW_E_NOT_FOUND;
        for (const auto& pin : pinsOf(filter)) {
            ComPtr<IPin> peer;
            if (SUCCEEDED(pin->ConnectedTo(peer.put())))
                peer->Disconnect();
            pin->Disconnect();
        }
        filter->JoinFilterGraph(nullptr, nullptr);
        filters.erase(found);
        return S_OK;
    }

    HRESULT EnumFilters(IEnumFilters** enumerator) override
    {
        if (enumerator == nullptr)
            return E_POINTER;
        std::vector<ComPtr<IBaseFilter>> list;
        for (const GraphEntry& entry : filters)
            list.push_back(entry.filter);
        *enumerator = makeComObject<SnapshotEnumerator<IEnumFilters, IBaseFilter>>(std::move(list)).detach();
        return S_OK;
    }

    HRESULT FindFilterByName(LPCWSTR name, IBaseFilter** filter) override
    {
        if (name == nullptr || filter == nullptr)
            return E_POINTER;
        *filter = nullptr;
        const GraphEntry* entry = findEntry(name);
        if (entry == nullptr)
            return VFW_E_NOT_FOUND;
        *filter = ComPtr<IBaseFilter>(entry->filter).detach();
        return S_OK;
    }

    HRESULT ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) override
    {
        if (output == nullptr || input == nullptr)
            return E_POINTER;
        if (directionOf(output) != PINDIR_OUTPUT || directionOf(input) != PINDIR_INPUT)
            return VFW_E_INVALID_DIRECTION;
        return output->Connect(input, type);
    }

    HRESULT Disconnect(IPin* pin) override
    {
        if (pin == nullptr)
            return E_POINTER;
        return pin->Disconnect();
    }

    HRESULT Connect(IPin* output, IPin* input) override
    {
        if (output == nullptr || input == nullptr)
            return E_POINTER;
        if (isConnected(output) || isConnected(input))
            return VFW_E_ALREADY_CONNECTED;
        const HRESULT direct = ConnectDirect(output, input, nullptr);
        if (SUCCEEDED(direct) || direct == VFW_E_INVALID_DIRECTION)
            return direct;
        if (IsEqualGUID(offeredMajorType(output), MEDIATYPE_Stream))
            return connectThroughSplitter(output, input);
        return connectThroughConverter(output, input);
    }

    HRESULT Render(IPin* output) override
    {
        if (output == nullptr)
            return E_POINTER;
        ComPtr<IBaseFilter> renderer = create(createNullRenderer);
        if (!renderer)
            return E_OUTOFMEMORY;
        AddFilter(renderer.get(), u"Null Renderer");
        const HRESULT hr = Connect(output, pinNamed(renderer.get(), u"In").get());
        if (FAILED(hr))
            RemoveFilter(renderer.get());
        return hr;
    }

    HRESULT RenderFile(LPCWSTR file, LPCWSTR) override
    {
        ComPtr<IBaseFilter> source;
        if (const HRESULT hr = AddSourceFilter(file, file, source.put()); FAILED(hr))
            return hr;
        ComPtr<IBaseFilter> splitter;
        if (const HRESULT hr = addSplitterBehind(pinNamed(source.get(), u"Output").get(), splitter); FAILED(hr))
            return hr;
        int rendered = 0;
        int streams = 0;
        for (const auto& pin : pinsOf(splitter.get())) {
            if (directionOf(pin.get()) != PINDIR_OUTPUT)
                continue;
            ++streams;
            if (rendersAsDecoded(pin.get()) && SUCCEEDED(Render(pin.get())))
                ++rendered;
        }
        if (rendered == 0)
            return VFW_E_CANNOT_RENDER;
        return rendered == streams ? S_OK : VFW_S_PARTIAL_RENDER;
    }

    HRESULT AddSourceFilter(LPCWSTR file, LPCWSTR filterName, IBaseFilter** filter) override
    {
        if (file == nullptr || filter == nullptr)
            return E_POINTER;
        *filter = nullptr;
        ComPtr<IBaseFilter> source;
        if (const HRESULT hr = CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                                source.putVoid());
            FAILED(hr))
            return hr;
        if (const HRESULT hr = source.as<IFileSourceFilter>()->Load(file, nullptr); FAILED(hr))
            return hr;
        if (const HRESULT hr = AddFilter(source.get(), filterName != nullptr ? filterName : file); FAILED(hr))
            return hr;
        *filter = source.detach();
        return S_OK;
    }

    // ---- IMediaControl / IMediaFilter ----------------------------------------------------

    HRESULT Run() override
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

    HRESULT Run(REFERENCE_TIME) override { return Run(); }

    HRESULT Pause() override { return changeState(State_Paused); }

    HRESULT Stop() override { return changeState(State_Stopped); }

    HRESULT StopWhenReady() override { return changeState(State_Stopped); }

    HRESULT GetState(LONG timeoutMs, OAFilterState* state) override
    {
        if (state == nullptr)
            return E_POINTER;
        FILTER_STATE current = State_Stopped;
        const HRESULT hr = settledState(static_cast<DWORD>(timeoutMs), current);
        *state = current;
        return hr;
    }

    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override
    {
        if (state == nullptr)
            return E_POINTER;
        return settledState(timeoutMs, *state);
    }

    HRESULT SetSyncSource(IReferenceClock*) override { return S_OK; }

    HRESULT GetSyncSource(IReferenceClock** clock) override
    {
        if (clock == nullptr)
            return E_POINTER;
        *clock = nullptr;
        return S_OK;
    }

    // ---- IMediaEvent / IMediaEventSink -----------------------------------------------------

    HRESULT GetEvent(long* code, LONG_PTR* param1, LONG_PTR* param2, long timeoutMs) override
    {
        if (code == nullptr || param1 == nullptr || param2 == nullptr)
            return E_POINTER;
        std::unique_lock guard(lock);
        if (!waitFor(guard, static_cast<DWORD>(timeoutMs), [&] { return !events.empty(); }))
            return E_ABORT;
        const GraphEvent event = events.front();
        events.pop_front();
        *code = event.code;
        *param1 = event.param1;
        *param2 = event.param2;
        return S_OK;
    }

    HRESULT FreeEventParams(long, LONG_PTR, LONG_PTR) override { return S_OK; }

    HRESULT WaitForCompletion(long timeoutMs, long* code) override
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
        if (!waitFor(guard, static_cast<DWORD>(timeoutMs),
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

    HRESULT Notify(long code, LONG_PTR param1, LONG_PTR param2) override
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

    // ---- IMediaSeeking -----------------------------------------------------------------------

    HRESULT GetCapabilities(DWORD* capabilities) override
    {
        if (capabilities == nullptr)
            return E_POINTER;
        *capabilities = audioPosition() ? kSeekingCapabilities : 0;
        return S_OK;
    }

    HRESULT CheckCapabilities(DWORD* capabilities) override
    {
        if (capabilities == nullptr)
            return E_POINTER;
        const DWORD asked = *capabilities;
        DWORD have = 0;
        GetCapabilities(&have);
        *capabilities = asked & have;
        if (*capabilities == asked)
            return S_OK;
        return *capabilities != 0 ? S_FALSE : E_FAIL;
    }

    HRESULT IsFormatSupported(const GUID* format) override
    {
        if (format == nullptr)
            return E_POINTER;
        return isKnownFormat(*format) ? S_OK : S_FALSE;
    }

    HRESULT GetTimeFormat(GUID* format) override
    {
        if (format == nullptr)
            return E_POINTER;
        *format = timeFormat;
        return S_OK;
    }

    HRESULT SetTimeFormat(const GUID* format) override
    {
        if (format == nullptr)
            return E_POINTER;
        if (!isKnownFormat(*format))
            return E_INVALIDARG;
        if (IsEqualGUID(*format, TIME_FORMAT_SAMPLE) && !audioPosition())
            return VFW_E_NO_TIME_FORMAT;
        timeFormat = *format;
        return S_OK;
    }

    HRESULT GetDuration(LONGLONG* duration) override
    {
        if (duration == nullptr)
            return E_POINTER;
        const auto length = audioLength();
        if (!length)
            return E_NOTIMPL;
        *duration = toTimeFormat(length->frames, length->rate);
        return S_OK;
    }

    HRESULT GetStopPosition(LONGLONG* stop) override { return GetDuration(stop); }

    HRESULT GetCurrentPosition(LONGLONG* current) override
    {
        if (current == nullptr)
            return E_POINTER;
        const auto length = audioLength();
        if (!length)
            return E_NOTIMPL;
        LONGLONG frame = 0;
        waitUntilIdle();
        audioPosition()->GetAudioPosition(&frame);
        *current = toTimeFormat(frame, length->rate);
        return S_OK;
    }

    HRESULT GetPositions(LONGLONG* current, LONGLONG* stop) override
    {
        if (current != nullptr)
            if (const HRESULT hr = GetCurrentPosition(current); FAILED(hr))
                return hr;
        if (stop != nullptr)
            return GetStopPosition(stop);
        return S_OK;
    }

    HRESULT SetPositions(LONGLONG* current, DWORD currentFlags, LONGLONG*, DWORD) override
    {
        const DWORD positioning = currentFlags & AM_SEEKING_PositioningBitsMask;
        if (positioning == AM_SEEKING_NoPositioning)
            return S_OK;
        if (current == nullptr)
            return E_POINTER;
        const auto length = audioLength();
        if (!length)
            return E_NOTIMPL;
        ComPtr<IAudioPosition> source = audioPosition();
        LONGLONG frame = fromTimeFormat(*current, length->rate);
        if (positioning != AM_SEEKING_AbsolutePositioning) {
            LONGLONG now = 0;
            source->GetAudioPosition(&now);
            frame += now;
        }
        frame = std::clamp<LONGLONG>(frame, 0, length->frames);
        return seekTo(*source, frame);
    }

protected:
    void* queryExtra(REFIID wanted) override
    {
        if (IsEqualGUID(wanted, IID_IFilterGraph))
            return static_cast<IFilterGraph*>(static_cast<IGraphBuilder*>(this));
        return nullptr;
    }

    // The last reference let go on the streaming thread (a callback releasing
    // the graph) leaves the graph in use below that thread's delivery: the
    // thread deletes it once the delivery has returned. From any other thread
    // the graph goes at once, its thread stopped and joined, so that its
    // filters have let go of their files when the release returns.
    void finalRelease() override
    {
        if (onStreamingThread())
            releasedOnStreamingThread = true;
        else
            delete this;
    }

private:
    static constexpr DWORD kSeekingCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                                  AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                                  AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

    struct AudioLength {
        LONGLONG frames;
        long rate;
    };

    static bool isKnownFormat(const GUID& format)
    {
        return IsEqualGUID(format, TIME_FORMAT_MEDIA_TIME) || IsEqualGUID(format, TIME_FORMAT_SAMPLE);
    }

    const GraphEntry* findEntry(std::u16string_view name) const
    {
        for (const GraphEntry& entry : filters)
            if (entry.name == name)
                return &entry;
        return nullptr;
    }

    // ---- Connecting ---------------------------------------------------------------------

    HRESULT addSplitterBehind(IPin* streamOutput, ComPtr<IBaseFilter>& splitter)
    {
        if (streamOutput == nullptr)
            return E_UNEXPECTED;
        splitter = create(createMediaSplitter);
        if (!splitter)
            return E_OUTOFMEMORY;
        AddFilter(splitter.get(), u"Media Splitter");
        const HRESULT hr = ConnectDirect(streamOutput, pinNamed(splitter.get(), u"Input").get(), nullptr);
        if (FAILED(hr)) {
            RemoveFilter(splitter.get());
            splitter.reset();
        }
        return hr;
    }

    HRESULT connectThroughSplitter(IPin* streamOutput, IPin* input)
    {
        ComPtr<IBaseFilter> splitter;
        if (const HRESULT hr = addSplitterBehind(streamOutput, splitter); FAILED(hr))
            return hr;
        for (const auto& pin : pinsOf(splitter.get()))
            if (directionOf(pin.get()) == PINDIR_OUTPUT && SUCCEEDED(Connect(pin.get(), input)))
                return S_OK;
        RemoveFilter(splitter.get());
        return VFW_E_CANNOT_CONNECT;
    }

    // Decoded PCM that the input refuses as it is may suit it after the
    // "PCM" converter: try the input's likely wishes.
    HRESULT connectThroughConverter(IPin* output, IPin* input)
    {
        ComPtr<IBaseFilter> converter;
        if (FAILED(CoCreateInstance(CLSID_PcmConverter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                    converter.putVoid())))
            return VFW_E_CANNOT_CONNECT;
        AddFilter(converter.get(), u"PCM");
        const ComPtr<IPin> converterIn = pinNamed(converter.get(), u"In");
        const ComPtr<IPin> converterOut = pinNamed(converter.get(), u"Out");
        if (SUCCEEDED(ConnectDirect(output, converterIn.get(), nullptr))) {
            const auto config = converterOut.as<IAMStreamConfig>();
            for (const auto& [rate, channels] : {std::pair{48000, 2}, {48000, 1}, {44100, 2}, {44100, 1}}) {
                MediaType candidate = pcmAudioType(rate, channels);
                if (input->QueryAccept(&candidate.get()) != S_OK)
                    continue;
                config->SetFormat(const_cast<AM_MEDIA_TYPE*>(&candidate.get()));
                if (SUCCEEDED(ConnectDirect(converterOut.get(), input, nullptr)))
                    return S_OK;
            }
        }
        RemoveFilter(converter.get());
        return VFW_E_CANNOT_CONNECT;
    }

    // Whether an output carries what a player would render: decoded audio or video.
    static bool rendersAsDecoded(IPin* output)
    {
        const GUID major = offeredMajorType(output);
        return IsEqualGUID(major, MEDIATYPE_Video) ||
               (IsEqualGUID(major, MEDIATYPE_Audio) && IsEqualGUID(offeredSubtype(output), MEDIASUBTYPE_PCM));
    }

    // ---- Streaming ---------------------------------------------------------------------

    void prepareRun()
    {
        // Sources keep whether they have ended: running again after the end
        // must end again, not wait for buffers that will not come.
        std::vector<Source> current;
        for (const GraphEntry& entry : filters) {
            auto source = entry.filter.as<IStreamSource>();
            if (!source || !source->IsConnected())
                continue;
            const auto known = std::find_if(sources.begin(), sources.end(),
                                            [&](const Source& each) { return each.source.get() == source.get(); });
            current.push_back(Source{source, known != sources.end() && known->ended});
        }
        sources = std::move(current);
        expectedRenderers = 0;
        for (const GraphEntry& entry : filters)
            if (isRenderer(entry.filter.get()))
                ++expectedRenderers;
        completedRenderers.clear();
        completeQueued = false;
        const bool allEnded =
            std::all_of(sources.begin(), sources.end(), [](const Source& each) { return each.ended; });
        if (finished || allEnded) {
            finished = true;
            events.push_back({failure != S_OK ? EC_ERRORABORT : EC_COMPLETE, failure, 0});
            completeQueued = true;
        }
    }

    // The first failure of a filter; every filter is asked all the same.
    HRESULT setFilterStates(FILTER_STATE state)
    {
        HRESULT first = S_OK;
        for (const GraphEntry& entry : filters) {
            const HRESULT hr = state == State_Running  ? entry.filter->Run(0)
                               : state == State_Paused ? entry.filter->Pause()
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
    HRESULT changeState(FILTER_STATE state)
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
    void applyRequestedState()
    {
        if (filterState == requested)
            return;
        setFilterStates(requested);
        filterState = requested;
    }

    bool onStreamingThread() const { return streamerId == std::this_thread::get_id(); }

    void waitUntilIdle()
    {
        if (onStreamingThread())
            return;
        std::unique_lock guard(lock);
        const IdleWait counted(idleWaiters);
        changed.wait(guard, [&] { return !delivering; });
    }

    // The state once the streaming thread has reached a buffer boundary; while
    // it still delivers after a pause or stop, the graph still counts as running.
    HRESULT settledState(DWORD timeoutMs, FILTER_STATE& state)
    {
        std::unique_lock guard(lock);
        const IdleWait counted(idleWaiters);
        const bool settled = requested == State_Running || onStreamingThread() ||
                             waitFor(guard, timeoutMs, [&] { return !delivering || requested == State_Running; });
        if (!settled) {
            state = State_Running;
            return VFW_S_STATE_INTERMEDIATE;
        }
        state = requested;
        return S_OK;
    }

    template <class Predicate>
    bool waitFor(std::unique_lock<std::mutex>& guard, DWORD timeoutMs, Predicate ready)
    {
        if (timeoutMs == INFINITE) {
            changed.wait(guard, ready);
            return true;
        }
        return changed.wait_for(guard, std::chrono::milliseconds(timeoutMs), ready);
    }

    // The streaming thread: one buffer at a time while the graph runs.
    void stream()
    {
        std::unique_lock guard(lock);
        while (true) {
            changed.wait(guard, [&] {
                return shuttingDown || releasedOnStreamingThread ||
                       (requested == State_Running && !finished && !seeking);
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

    struct Source {
        ComPtr<IStreamSource> source;
        bool ended;
    };

    Source* nextSource()
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

    // ---- Seeking ----------------------------------------------------------------------

    ComPtr<IAudioPosition> audioPosition() const
    {
        for (const GraphEntry& entry : filters) {
            auto position = entry.filter.as<IAudioPosition>();
            LONGLONG frames = 0;
            long rate = 0;
            if (position && SUCCEEDED(position->GetAudioLength(&frames, &rate)) && rate > 0)
                return position;
        }
        return {};
    }

    std::optional<AudioLength> audioLength() const
    {
        const auto position = audioPosition();
        if (!position)
            return std::nullopt;
        AudioLength length{};
        position->GetAudioLength(&length.frames, &length.rate);
        return length;
    }

    LONGLONG toTimeFormat(LONGLONG frames, long rate) const
    {
        if (IsEqualGUID(timeFormat, TIME_FORMAT_SAMPLE))
            return frames;
        return referenceTimeAfter(0, frames, rate);
    }

    LONGLONG fromTimeFormat(LONGLONG value, long rate) const
    {
        if (IsEqualGUID(timeFormat, TIME_FORMAT_SAMPLE))
            return value;
        return static_cast<LONGLONG>(static_cast<__int128>(value) * rate / kUnitsPerSecond);
    }

    HRESULT seekTo(IAudioPosition& source, LONGLONG frame)
    {
        {
            std::unique_lock guard(lock);
            seeking = true;
            const IdleWait counted(idleWaiters);
            changed.wait(guard, [&] { return !delivering || onStreamingThread(); });
        }
        const HRESULT hr = source.SeekAudio(frame);
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
        return hr;
    }

    std::vector<GraphEntry> filters; // changed on the caller's thread only

    std::mutex lock;
    std::condition_variable changed;
    FILTER_STATE requested = State_Stopped;
    FILTER_STATE filterState = State_Stopped; // what the filters were last set to
    bool delivering = false;
    int idleWaiters = 0; // threads waiting for the streaming thread to be between buffers
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
    std::thread streamer;
    std::atomic<std::thread::id> streamerId; // set once, by the Run that starts the thread
    bool releasedOnStreamingThread = false; // touched by the streaming thread only
    GUID timeFormat = TIME_FORMAT_MEDIA_TIME;
};

} // namespace

HRESULT createFilterGraph(REFIID requested, void** object)
{
    return makeComObject<FilterGraph>()->QueryInterface(requested, object);
}

} // namespace zuk::media
