#include "platform/media/FilterGraph.h"

#include "platform/media/FilterGraphImpl.h"
#include "platform/media/SnapshotEnumerator.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zuk::media {

namespace graph {

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

FilterGraph::~FilterGraph()
{
    stopStreaming();
    for (GraphEntry& entry : filters) {
        for (const auto& pin : pinsOf(entry.filter.get()))
            pin->Disconnect();
        entry.filter->JoinFilterGraph(nullptr, nullptr);
    }
}

HRESULT FilterGraph::AddFilter(IBaseFilter* filter, LPCWSTR name)
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

HRESULT FilterGraph::RemoveFilter(IBaseFilter* filter)
{
    if (filter == nullptr)
        return E_POINTER;
    const auto found = std::find_if(
        filters.begin(), filters.end(), [&](const GraphEntry& entry) { return entry.filter.get() == filter; });
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

HRESULT FilterGraph::EnumFilters(IEnumFilters** enumerator)
{
    if (enumerator == nullptr)
        return E_POINTER;
    std::vector<ComPtr<IBaseFilter>> list;
    for (const GraphEntry& entry : filters)
        list.push_back(entry.filter);
    *enumerator = makeComObject<SnapshotEnumerator<IEnumFilters, IBaseFilter>>(std::move(list)).detach();
    return S_OK;
}

HRESULT FilterGraph::FindFilterByName(LPCWSTR name, IBaseFilter** filter)
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

void* FilterGraph::queryExtra(REFIID wanted)
{
    if (IsEqualGUID(wanted, IID_IFilterGraph))
        return static_cast<IFilterGraph*>(static_cast<IGraphBuilder*>(this));
    return nullptr;
}

const GraphEntry* FilterGraph::findEntry(std::u16string_view name) const
{
    for (const GraphEntry& entry : filters)
        if (entry.name == name)
            return &entry;
    return nullptr;
}

} // namespace graph

HRESULT createFilterGraph(REFIID requested, void** object)
{
    return makeComObject<graph::FilterGraph>()->QueryInterface(requested, object);
}

} // namespace zuk::media
