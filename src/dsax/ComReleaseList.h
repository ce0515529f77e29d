// The COM interface pointers one graph call obtains, released together at
// its end, the last obtained first.
#pragma once

#include "platform/com/Unknown.h"

#include <cstdint>
#include <memory>

namespace zuk {

class ComReleaseList {
public:
    ComReleaseList() = default;
    // Whatever is still held is released, as by releaseAll: no reference is
    // ever dropped unreleased.
    ~ComReleaseList() { releaseAll(); }
    ComReleaseList(const ComReleaseList&) = delete;
    ComReleaseList& operator=(const ComReleaseList&) = delete;

    // -1 when the list is already set up.
    int32_t setUp(int32_t wanted);
    // Takes over one reference of `item`; -1 for null or a full list, and the
    // caller keeps its reference then.
    int32_t add(IUnknown* item);
    // Releases every held pointer, the last added first, and empties the list.
    void releaseAll();

    int32_t count() const { return held; }

private:
    std::unique_ptr<IUnknown*[]> items;
    int32_t capacity = 0;
    int32_t held = 0;
};

} // namespace zuk
