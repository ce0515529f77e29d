#include "platform/com/Com.h"

#include "platform/com/ComModules.h"

#include <map>
#include <mutex>

namespace {

thread_local int initializations = 0;

HRESULT initializeThisThread(void* reserved)
{
    if (reserved != nullptr)
        return E_INVALIDARG;
    return ++initializations == 1 ? S_OK : S_FALSE;
}

struct GuidLess {
    bool operator()(REFGUID a, REFGUID b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

class ClassTable {
public:
    void set(REFCLSID clsid, ComClassFactory factory)
    {
        const std::lock_guard lock(mutex);
        if (factory)
            factories.insert_or_assign(clsid, factory);
        else
            factories.erase(clsid);
    }

    ComClassFactory find(REFCLSID clsid) const
    {
        const std::lock_guard lock(mutex);
        const auto found = factories.find(clsid);
        return found == factories.end() ? nullptr : found->second;
    }

private:
    mutable std::mutex mutex;
    std::map<CLSID, ComClassFactory, GuidLess> factories;
};

ClassTable& classTable()
{
    static ClassTable table;
    return table;
}

// registerBuiltInComClasses() registers through registerComClass(), which
// must not wait for the very registration that is calling it.
thread_local bool registeringBuiltIns = false;

void ensureBuiltInClasses()
{
    static std::once_flag once;
    if (registeringBuiltIns)
        return;
    std::call_once(once, [] {
        struct Flag {
            Flag() { registeringBuiltIns = true; }
            ~Flag() { registeringBuiltIns = false; }
        } registering;
        registerBuiltInComClasses();
    });
}

} // namespace

HRESULT CoInitialize(void* reserved)
{
    return initializeThisThread(reserved);
}

HRESULT CoInitializeEx(void* reserved, uint32_t /*coinit*/)
{
    return initializeThisThread(reserved);
}

void CoUninitialize()
{
    if (initializations > 0)
        --initializations;
}

int comInitializationCount()
{
    return initializations;
}

void registerComClass(REFCLSID clsid, ComClassFactory factory)
{
    ensureBuiltInClasses();
    classTable().set(clsid, factory);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, uint32_t /*context*/, REFIID iid, void** object)
{
    if (object == nullptr)
        return E_POINTER;
    *object = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    try {
        ensureBuiltInClasses();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY; // no exception crosses a COM call
    }
    const ComClassFactory factory = classTable().find(clsid);
    if (factory == nullptr)
        return createFromComModule(clsid, iid, object);
    return factory(iid, object);
}
