// The COM runtime calls the media layer makes: initialisation, creating
// objects by class id, and the task allocator (TaskMemory.h). Hosts on Linux
// have no COM to initialise, so creating objects never requires it; the
// initialisation count is kept per thread only so that calls pair up as on
// Windows.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/TaskMemory.h"
#include "platform/com/Unknown.h"

#include <cstddef>
#include <cstdint>
#include <new>

enum : uint32_t { COINIT_MULTITHREADED = 0x0, COINIT_APARTMENTTHREADED = 0x2 };
enum : uint32_t { CLSCTX_INPROC_SERVER = 0x1 };

// S_OK on this thread's first call, S_FALSE on later ones; E_INVALIDARG
// unless `reserved` is null.
HRESULT CoInitialize(void* reserved);
// As CoInitialize: there are no apartments, so `coinit` changes nothing.
HRESULT CoInitializeEx(void* reserved, uint32_t coinit);
// Undoes one initialisation of this thread; extra calls do nothing.
void CoUninitialize();
// How many initialisations this thread has not undone yet.
int comInitializationCount();

// Creates one object of a class and queries it for `iid` into `*object`.
using ComClassFactory = HRESULT (*)(REFIID iid, void** object);

// Makes `clsid` creatable, replacing any earlier factory of it (the layer's
// own classes count as the earliest); a null factory removes the class.
// Any thread may call it.
void registerComClass(REFCLSID clsid, ComClassFactory factory);

// `*object` is null unless this succeeds. E_POINTER for a null `object`,
// CLASS_E_NOAGGREGATION for any `outer`, REGDB_E_CLASSNOTREG for a class
// nobody registered, else what the class's factory returns. A class that is
// not in the table may live in a module of its own (ComModules.h), loaded on
// first use. All classes live in this process, so `context` is not looked at.
HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t context, REFIID iid, void** object);

// Registers the media layer's own classes; called once, before the first
// lookup or registration.
void registerBuiltInComClasses();

// A ComClassFactory for the layer's class T (a ComObject): creates one T and
// hands out the interface asked for, which then holds the only reference.
template <class T>
HRESULT createComInstance(REFIID iid, void** object)
{
    try {
        return makeComObject<T>()->QueryInterface(iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}
