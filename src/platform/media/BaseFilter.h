// The common part of every filter of this layer: pins, connections, state,
// membership of a graph, and the hooks through which a filter handles the
// buffers that reach it. A filter is one class deriving from Filter<...>
// plus one entry in FilterRegistry.cpp.
#pragma once

#include "platform/media/MediaType.h"
#include "platform/media/Streaming.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zuk::media {

class FilterCore;

// A pin. Its references are counted on its filter, so it lives as long as
// the filter does. Connections hold a reference to the peer pin; the graph
// breaks them before it lets its filters go.
class BasePin : public IPin, public IBufferInput {
public:
    BasePin(FilterCore& filter, std::u16string id, PIN_DIRECTION direction);
    virtual ~BasePin() = default;
    BasePin(const BasePin&) = delete;
    BasePin& operator=(const BasePin&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* wanted) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* offered) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* out) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryId(LPWSTR* id) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* candidate) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT Receive(const BYTE* data, long length, REFERENCE_TIME start, DWORD flags) override;

    const std::u16string& id() const { return pinId; }
    PIN_DIRECTION direction() const { return pinDirection; }
    bool isConnected() const { return static_cast<bool>(peer); }
    const MediaType& connectionType() const { return type; }

    // Output pins: pass a buffer, the end of the stream or a flush downstream.
    HRESULT deliver(const BYTE* data, long length, REFERENCE_TIME start, DWORD flags = BUFFER_SYNC_POINT);
    HRESULT deliverEndOfStream();
    void deliverBeginFlush();
    void deliverEndFlush();
    // Output pins: connect again with `newType` to the same peer.
    HRESULT reconnect(const MediaType& newType);

protected:
    // What an output pin offers, best first.
    virtual std::vector<MediaType> offeredTypes() const { return {}; }
    // Whether this pin takes a connection of `candidate`.
    virtual bool accepts(const AM_MEDIA_TYPE& candidate) const = 0;
    // Interfaces the pin offers besides IPin and IBufferInput (no reference taken).
    virtual void* queryExtra(REFIID) { return nullptr; }

private:
    HRESULT tryConnect(IPin* receivePin, const AM_MEDIA_TYPE& candidate);
    void connected(IPin* other, const AM_MEDIA_TYPE& candidate);

    FilterCore& owner;
    std::u16string pinId;
    PIN_DIRECTION pinDirection;
    ComPtr<IPin> peer;
    ComPtr<IBufferInput> peerInput; // output pins: where buffers go
    MediaType type;
};

// The state and pins of a filter, and what its pins call.
class FilterCore {
public:
    explicit FilterCore(const CLSID& clsid) : classId(clsid) { }
    virtual ~FilterCore() = default;
    FilterCore(const FilterCore&) = delete;
    FilterCore& operator=(const FilterCore&) = delete;

    // The filter as an interface, for the references its pins take.
    virtual IBaseFilter* baseFilter() = 0;

    const std::vector<std::unique_ptr<BasePin>>& pins() const { return pinList; }
    BasePin* findPin(std::u16string_view id) const;
    FILTER_STATE state() const { return currentState; }
    const std::u16string& name() const { return filterName; }

    // Hooks, all but the connection ones called on the streaming thread.
    virtual HRESULT receive(BasePin& input, const BYTE* data, long length, REFERENCE_TIME start, DWORD flags);
    // Default: the end of the stream goes on through every output pin.
    virtual HRESULT endOfStream(BasePin& input);
    virtual void beginFlush(BasePin& input);
    virtual void endFlush(BasePin& input);
    // A connection `input` is about to take: a failure refuses it with that code.
    virtual HRESULT checkConnect(BasePin&, const AM_MEDIA_TYPE&, IPin* /*connector*/) { return S_OK; }
    virtual void connectionChanged(BasePin&) { }
    // Before the filter takes `next`: a failure keeps the state it has
    // (a file writer whose file cannot be created does not run).
    virtual HRESULT stateChanging(FILTER_STATE /*next*/) { return S_OK; }

    // The IMediaFilter and IBaseFilter methods, shared by every filter.
    HRESULT stop();
    HRESULT pause();
    HRESULT run(REFERENCE_TIME start);
    HRESULT getState(DWORD timeoutMs, FILTER_STATE* state);
    HRESULT enumPins(IEnumPins** pins);
    HRESULT findPin(LPCWSTR id, IPin** pin);
    HRESULT queryFilterInfo(FILTER_INFO* info);
    HRESULT joinFilterGraph(IFilterGraph* graph, LPCWSTR name);

protected:
    BasePin& addPin(std::unique_ptr<BasePin> pin);
    // Tells the graph that holds the filter (EC_COMPLETE, EC_ERRORABORT).
    void notifyGraph(long code, LONG_PTR param1, LONG_PTR param2);
    const CLSID classId;

private:
    HRESULT changeState(FILTER_STATE next);

    std::vector<std::unique_ptr<BasePin>> pinList;
    FILTER_STATE currentState = State_Stopped;
    IFilterGraph* graph = nullptr;        // not referenced: the graph holds the filter
    IMediaEventSink* eventSink = nullptr; // the graph's, not referenced either
    std::u16string filterName;
};

// A filter class: IBaseFilter plus the interfaces `Extra...`.
template <class... Extra>
class Filter : public ComObject<IBaseFilter, Extra...>, public FilterCore {
public:
    explicit Filter(const CLSID& clsid) : FilterCore(clsid) { }

    IBaseFilter* baseFilter() override { return this; }

protected:
    // Filters that offer more interfaces override this and end with Filter::queryExtra.
    void* queryExtra(REFIID requested) override
    {
        if (IsEqualGUID(requested, IID_IMediaFilter))
            return static_cast<IMediaFilter*>(static_cast<IBaseFilter*>(this));
        return nullptr;
    }

public:
    HRESULT Stop() override { return stop(); }
    HRESULT Pause() override { return pause(); }
    HRESULT Run(REFERENCE_TIME start) override { return run(start); }
    HRESULT GetState(DWORD timeoutMs, FILTER_STATE* state) override { return getState(timeoutMs, state); }
    HRESULT SetSyncSource(IReferenceClock*) override { return S_OK; }
    HRESULT GetSyncSource(IReferenceClock** clock) override
    {
        if (clock == nullptr)
            return E_POINTER;
        *clock = nullptr;
        return S_OK;
    }
    HRESULT EnumPins(IEnumPins** pins) override { return enumPins(pins); }
    HRESULT FindPin(LPCWSTR id, IPin** pin) override { return findPin(id, pin); }
    HRESULT QueryFilterInfo(FILTER_INFO* info) override { return queryFilterInfo(info); }
    HRESULT JoinFilterGraph(IFilterGraph* newGraph, LPCWSTR name) override { return joinFilterGraph(newGraph, name); }
};

// A pin whose acceptance and offers are fixed functions of the filter.
template <class Owner>
class SimplePin : public BasePin {
public:
    using Accepts = bool (Owner::*)(const BasePin&, const AM_MEDIA_TYPE&) const;
    using Offers = std::vector<MediaType> (Owner::*)(const BasePin&) const;

    SimplePin(
        Owner& ownerFilter, std::u16string id, PIN_DIRECTION direction, Accepts acceptance, Offers offers = nullptr)
        : BasePin(ownerFilter, std::move(id), direction),
          filter(ownerFilter),
          acceptsFunction(acceptance),
          offersFunction(offers)
    {
    }

protected:
    bool accepts(const AM_MEDIA_TYPE& candidate) const override { return (filter.*acceptsFunction)(*this, candidate); }
    std::vector<MediaType> offeredTypes() const override
    {
        return offersFunction ? (filter.*offersFunction)(*this) : std::vector<MediaType>{};
    }

private:
    Owner& filter;
    Accepts acceptsFunction;
    Offers offersFunction;
};

// For filters that pass buffers on unchanged: their output offers what the
// input carries, and follows it to a new type when the input's changes.
std::vector<MediaType> typeOfInput(const BasePin& input);
void followInputType(const BasePin& input, BasePin& output);

// Copies `text` into a fixed wide-character field, cut to fit, NUL-terminated.
void copyName(std::u16string_view text, char16_t* field, size_t capacity);
// A NUL-terminated copy of `text` from CoTaskMemAlloc, for names handed out
// through interfaces; null when memory runs out.
char16_t* newTaskMemoryText(std::u16string_view text);

} // namespace zuk::media
