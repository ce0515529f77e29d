// The system device enumerator: lists the layer's filter classes by category,
// each as a moniker that creates the filter and whose property bag names it.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

namespace zuk::media {

// The class factory of CLSID_SystemDeviceEnum (an ICreateDevEnum).
HRESULT createSystemDeviceEnum(REFIID iid, void** object);

} // namespace zuk::media
