#include "dsax/ComReleaseList.h"

#include <new>

namespace zuk {

int32_t ComReleaseList::setUp(int32_t wanted)
{
    if (items || wanted <= 0)
        return -1;
    items.reset(new (std::nothrow) IUnknown*[static_cast<size_t>(wanted)]);
    if (!items)
        return -1;
    capacity = wanted;
    held = 0;
    return 0;
}

int32_t ComReleaseList::add(IUnknown* item)
{
    if (item == nullptr || !items || held >= capacity)
        return -1;
    items[static_cast<size_t>(held++)] = item;
    return 0;
}

void ComReleaseList::releaseAll()
{
    while (held > 0)
        items[static_cast<size_t>(--held)]->Release();
    items.reset();
    capacity = 0;
}

} // namespace zuk
