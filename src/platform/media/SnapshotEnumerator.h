// An enumerator (IEnumPins, IEnumFilters) over the items there were when it
// was made: later changes to the filter or graph do not disturb it.
#pragma once

#include "platform/com/Unknown.h"

#include <algorithm>
#include <vector>

namespace zuk::media {

template <class Enumerator, class Item>
class SnapshotEnumerator : public ComObject<Enumerator> {
public:
    explicit SnapshotEnumerator(std::vector<ComPtr<Item>> items, size_t position = 0)
        : list(std::move(items)), next(position)
    {
    }

    HRESULT Next(ULONG count, Item** items, ULONG* fetched) override
    {
        if (items == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG taken = 0;
        for (; taken < count && next < list.size(); ++taken, ++next)
            items[taken] = ComPtr<Item>(list[next]).detach();
        if (fetched != nullptr)
            *fetched = taken;
        return taken == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        const size_t left = list.size() - next;
        next += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        next = 0;
        return S_OK;
    }
    HRESULT Clone(Enumerator** copy) override
    {
        if (copy == nullptr)
            return E_POINTER;
        *copy = makeComObject<SnapshotEnumerator>(list, next).detach();
        return S_OK;
    }

private:
    std::vector<ComPtr<Item>> list;
    size_t next;
};

} // namespace zuk::media
