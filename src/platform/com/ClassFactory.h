// How a module of its own hands out the classes it holds: it exports one
// function, DllGetClassObject, which gives a class factory for a class id.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/Unknown.h"

inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

struct IClassFactory : IUnknown {
    static constexpr const IID& iid = IID_IClassFactory;
    // Creates one object and queries it for `interfaceId` into `*object`
    // (null unless this succeeds). CLASS_E_NOAGGREGATION for a non-null `outer`.
    virtual HRESULT CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) = 0;
    // Modules here stay loaded for the life of the process, so locking
    // changes nothing; kept for the shape of the interface.
    virtual HRESULT LockServer(BOOL lock) = 0;

protected:
    ~IClassFactory() = default;
};

// The one export of a module: the factory of class `clsid`, queried for `iid`.
using DllGetClassObjectFunction = HRESULT(REFCLSID clsid, REFIID iid, void** object);
inline constexpr const char kDllGetClassObjectName[] = "DllGetClassObject";
