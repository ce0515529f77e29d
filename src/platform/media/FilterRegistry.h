// The filter classes of the media layer: one entry per filter, which both the
// COM class table and the device enumerator read.
#pragma once

#include "platform/com/Com.h"
#include "platform/com/Guid.h"

#include <span>

namespace zuk::media {

struct FilterClass {
    CLSID clsid;
    const char16_t* friendlyName; // "FriendlyName" in the filter's property bag
    bool audioCompressor;         // listed in the audio compressor category too
    ComClassFactory create;
};

// Every filter class, in the order the device enumerator lists them (all are
// in the legacy filter category).
std::span<const FilterClass> filterClasses();

} // namespace zuk::media
