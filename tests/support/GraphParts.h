// Building media graphs by hand in tests: objects by class id, pins by name.
#pragma once

#include "platform/com/Com.h"
#include "platform/media/MediaInterfaces.h"

#include <gtest/gtest.h>

namespace zuktest {

// An object of `clsid` as `T`; a failure to create it fails the test.
template <class T>
ComPtr<T> create(const CLSID& clsid)
{
    ComPtr<T> object;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iidOf<T>(), object.putVoid()), S_OK);
    return object;
}

// The pin `id` of `filter`, or null.
inline ComPtr<IPin> pin(IBaseFilter* filter, const char16_t* id)
{
    ComPtr<IPin> found;
    filter->FindPin(id, found.put());
    return found;
}

} // namespace zuktest
