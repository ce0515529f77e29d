// The module's one export: the class factory of LibSndFileWrapper. No
// exception crosses it or the factory's methods.
#include "LibSndFileWrapper.h"

#include "platform/com/ClassFactory.h"
#include "platform/com/Guids.h"
#include "platform/com/ThrownFailure.h"

#include <type_traits>

namespace {

class WrapperClassFactory : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, REFIID interfaceId, void** object) override
    {
        if (object == nullptr)
            return E_POINTER;
        *object = nullptr;
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        return zuk::sndfilewrapper::createLibSndFileWrapper(interfaceId, object);
    }

    // The module is never unloaded while the process runs, so there is nothing to lock.
    HRESULT LockServer(BOOL) override { return S_OK; }
};

} // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(clsid, CLSID_LibSndFileWrapper))
        return CLASS_E_CLASSNOTAVAILABLE;
    return hresultOf([&] { return makeComObject<WrapperClassFactory>()->QueryInterface(iid, object); });
}

// The signature the COM core calls it through.
static_assert(std::is_same_v<decltype(DllGetClassObject), DllGetClassObjectFunction>);
