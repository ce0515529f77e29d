#include "platform/media/BaseFilter.h"

#include "platform/media/SnapshotEnumerator.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zuk::media {

void copyName(std::u16string_view text, char16_t* field, size_t capacity)
{
    const size_t length = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), length, field);
    field[length] = u'\0';
}

char16_t* newTaskMemoryText(std::u16string_view text)
{
    auto* copy = static_cast<char16_t*>(CoTaskMemAlloc((text.size() + 1) * sizeof(char16_t)));
    if (copy != nullptr)
        copyName(text, copy, text.size() + 1);
    return copy;
}

std::vector<MediaType> typeOfInput(const BasePin& input)
{
    if (!input.isConnected())
        return {};
    return {input.connectionType()};
}

void followInputType(const BasePin& input, BasePin& output)
{
    if (input.isConnected() && output.isConnected() &&
        !MediaType(output.connectionType()).matches(input.connectionType().get()))
        output.reconnect(input.connectionType());
}

// ---- BasePin ------------------------------------------------------------------

BasePin::BasePin(FilterCore& filter, std::u16string id, PIN_DIRECTION direction)
    : owner(filter), pinId(std::move(id)), pinDirection(direction)
{
}

HRESULT BasePin::QueryInterface(REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IPin))
        *object = static_cast<IPin*>(this);
    else if (IsEqualGUID(iid, IID_IBufferInput) && pinDirection == PINDIR_INPUT)
        *object = static_cast<IBufferInput*>(this);
    else
        *object = queryExtra(iid);
    if (*object == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

ULONG BasePin::AddRef()
{
    return owner.baseFilter()->AddRef();
}

ULONG BasePin::Release()
{
    return owner.baseFilter()->Release();
}

HRESULT BasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* wanted)
{
    if (receivePin == nullptr)
        return E_POINTER;
    if (pinDirection != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (peer)
        return VFW_E_ALREADY_CONNECTED;
    // The receiver's own reason for the last refusal says most (a splitter
    // that cannot read the file, say).
    HRESULT refusal = VFW_E_NO_ACCEPTABLE_TYPES;
    for (const MediaType& candidate : offeredTypes()) {
        if (wanted != nullptr && !candidate.matches(*wanted))
            continue;
        refusal = tryConnect(receivePin, candidate.get());
        if (SUCCEEDED(refusal))
            return S_OK;
    }
    return refusal;
}

HRESULT BasePin::tryConnect(IPin* receivePin, const AM_MEDIA_TYPE& candidate)
{
    const HRESULT hr = receivePin->ReceiveConnection(this, &candidate);
    if (FAILED(hr))
        return hr;
    connected(receivePin, candidate);
    return S_OK;
}

HRESULT BasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* offered)
{
    if (connector == nullptr || offered == nullptr)
        return E_POINTER;
    if (pinDirection != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (peer)
        return VFW_E_ALREADY_CONNECTED;
    if (!accepts(*offered))
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (const HRESULT hr = owner.checkConnect(*this, *offered, connector); FAILED(hr))
        return hr;
    connected(connector, *offered);
    return S_OK;
}

void BasePin::connected(IPin* other, const AM_MEDIA_TYPE& candidate)
{
    peer = ComPtr<IPin>(other);
    if (pinDirection == PINDIR_OUTPUT)
        peerInput = peer.as<IBufferInput>();
    type = MediaType(candidate);
    owner.connectionChanged(*this);
}

HRESULT BasePin::Disconnect()
{
    if (!peer)
        return S_FALSE;
    peer.reset();
    peerInput.reset();
    type = MediaType();
    owner.connectionChanged(*this);
    return S_OK;
}

HRESULT BasePin::reconnect(const MediaType& newType)
{
    if (pinDirection != PINDIR_OUTPUT || !peer)
        return VFW_E_NOT_CONNECTED;
    const ComPtr<IPin> other = peer;
    const MediaType oldType = type;
    other->Disconnect();
    Disconnect();
    const HRESULT hr = tryConnect(other.get(), newType.get());
    if (FAILED(hr))
        tryConnect(other.get(), oldType.get());
    return hr;
}

HRESULT BasePin::ConnectedTo(IPin** pin)
{
    if (pin == nullptr)
        return E_POINTER;
    *pin = nullptr;
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    *pin = ComPtr<IPin>(peer).detach();
    return S_OK;
}

HRESULT BasePin::ConnectionMediaType(AM_MEDIA_TYPE* out)
{
    if (out == nullptr)
        return E_POINTER;
    if (!peer) {
        *out = AM_MEDIA_TYPE{};
        return VFW_E_NOT_CONNECTED;
    }
    try {
        type.copyTo(out);
    } catch (const std::bad_alloc&) {
        *out = AM_MEDIA_TYPE{};
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT BasePin::QueryPinInfo(PIN_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    info->pFilter = owner.baseFilter();
    info->pFilter->AddRef();
    info->dir = pinDirection;
    copyName(pinId, info->achName, std::size(info->achName));
    return S_OK;
}

HRESULT BasePin::QueryDirection(PIN_DIRECTION* direction)
{
    if (direction == nullptr)
        return E_POINTER;
    *direction = pinDirection;
    return S_OK;
}

HRESULT BasePin::QueryId(LPWSTR* id)
{
    if (id == nullptr)
        return E_POINTER;
    *id = newTaskMemoryText(pinId);
    return *id != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT BasePin::QueryAccept(const AM_MEDIA_TYPE* candidate)
{
    if (candidate == nullptr)
        return E_POINTER;
    return accepts(*candidate) ? S_OK : S_FALSE;
}

HRESULT BasePin::EndOfStream()
{
    return owner.endOfStream(*this);
}

HRESULT BasePin::BeginFlush()
{
    owner.beginFlush(*this);
    return S_OK;
}

HRESULT BasePin::EndFlush()
{
    owner.endFlush(*this);
    return S_OK;
}

HRESULT BasePin::Receive(const BYTE* data, long length, REFERENCE_TIME start, DWORD flags)
{
    if (pinDirection != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    return owner.receive(*this, data, length, start, flags);
}

HRESULT BasePin::deliver(const BYTE* data, long length, REFERENCE_TIME start, DWORD flags)
{
    if (!peerInput)
        return VFW_E_NOT_CONNECTED;
    return peerInput->Receive(data, length, start, flags);
}

HRESULT BasePin::deliverEndOfStream()
{
    return peer ? peer->EndOfStream() : S_OK;
}

void BasePin::deliverBeginFlush()
{
    if (peer)
        peer->BeginFlush();
}

void BasePin::deliverEndFlush()
{
    if (peer)
        peer->EndFlush();
}

// ---- FilterCore -----------------------------------------------------------------

BasePin* FilterCore::findPin(std::u16string_view id) const
{
    for (const auto& pin : pinList)
        if (pin->id() == id)
            return pin.get();
    return nullptr;
}

BasePin& FilterCore::addPin(std::unique_ptr<BasePin> pin)
{
    pinList.push_back(std::move(pin));
    return *pinList.back();
}

HRESULT FilterCore::receive(BasePin&, const BYTE*, long, REFERENCE_TIME, DWORD)
{
    return E_UNEXPECTED;
}

HRESULT FilterCore::endOfStream(BasePin&)
{
    for (const auto& pin : pinList)
        if (pin->direction() == PINDIR_OUTPUT)
            pin->deliverEndOfStream();
    return S_OK;
}

void FilterCore::beginFlush(BasePin&)
{
    for (const auto& pin : pinList)
        if (pin->direction() == PINDIR_OUTPUT)
            pin->deliverBeginFlush();
}

void FilterCore::endFlush(BasePin&)
{
    for (const auto& pin : pinList)
        if (pin->direction() == PINDIR_OUTPUT)
            pin->deliverEndFlush();
}

HRESULT FilterCore::stop()
{
    return changeState(State_Stopped);
}

HRESULT FilterCore::pause()
{
    return changeState(State_Paused);
}

HRESULT FilterCore::run(REFERENCE_TIME)
{
    return changeState(State_Running);
}

HRESULT FilterCore::changeState(FILTER_STATE next)
{
    if (next == currentState)
        return S_OK;
    // Stopping always succeeds: the filter lets go of what it holds.
    if (const HRESULT hr = stateChanging(next); FAILED(hr) && next != State_Stopped)
        return hr;
    currentState = next;
    return S_OK;
}

HRESULT FilterCore::getState(DWORD, FILTER_STATE* state)
{
    if (state == nullptr)
        return E_POINTER;
    *state = currentState;
    return S_OK;
}

HRESULT FilterCore::enumPins(IEnumPins** pins)
{
    if (pins == nullptr)
        return E_POINTER;
    // Each pin's reference is its filter's, which keeps the filter alive too.
    std::vector<ComPtr<IPin>> list;
    for (const auto& pin : pinList)
        list.emplace_back(pin.get());
    *pins = makeComObject<SnapshotEnumerator<IEnumPins, IPin>>(std::move(list)).detach();
    return S_OK;
}

HRESULT FilterCore::findPin(LPCWSTR id, IPin** pin)
{
    if (id == nullptr || pin == nullptr)
        return E_POINTER;
    *pin = nullptr;
    BasePin* found = findPin(std::u16string_view(id));
    if (found == nullptr)
        return VFW_E_NOT_FOUND;
    *pin = ComPtr<IPin>(found).detach();
    return S_OK;
}

HRESULT FilterCore::queryFilterInfo(FILTER_INFO* info)
{
    if (info == nullptr)
        return E_POINTER;
    copyName(filterName, info->achName, std::size(info->achName));
    info->pGraph = graph;
    if (graph != nullptr)
        graph->AddRef();
    return S_OK;
}

HRESULT FilterCore::joinFilterGraph(IFilterGraph* newGraph, LPCWSTR name)
{
    graph = newGraph;
    filterName = newGraph != nullptr && name != nullptr ? std::u16string(name) : std::u16string();
    // Looked up now, while the caller holds the graph: a reference taken on
    // the streaming thread could outlive the caller's and be the graph's last.
    ComPtr<IMediaEventSink> sink;
    if (newGraph != nullptr)
        newGraph->QueryInterface(IID_IMediaEventSink, sink.putVoid());
    eventSink = sink.get();
    return S_OK;
}

void FilterCore::notifyGraph(long code, LONG_PTR param1, LONG_PTR param2)
{
    if (eventSink != nullptr)
        eventSink->Notify(code, param1, param2);
}

} // namespace zuk::media
