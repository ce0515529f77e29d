// What a COM method returns when its work throws. No exception may leave a
// method that a host or the streaming thread calls: neither can catch it.
#pragma once

#include "platform/com/HResult.h"

#include <new>

// Runs `body` and returns its result; E_OUTOFMEMORY instead when memory ran
// out, E_UNEXPECTED when anything else was thrown.
template <class Body>
HRESULT hresultOf(Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}
