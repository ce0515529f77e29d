#include "platform/com/ComModules.h"

#include "platform/SharedLibrary.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/Guids.h"

#include <map>
#include <mutex>
#include <new>
#include <string_view>
#include <vector>

namespace {

struct ModuleClass {
    CLSID clsid;
    std::string_view dllName;
};

constexpr ModuleClass kModuleClasses[] = {
    {CLSID_LibSndFileWrapper, "sndfilewrapper.dll"},
};

std::string_view moduleHolding(REFCLSID clsid)
{
    for (const ModuleClass& each : kModuleClasses)
        if (IsEqualGUID(each.clsid, clsid))
            return each.dllName;
    return {};
}

// The modules loaded so far, by name; they are never unloaded but by the
// test seam.
class LoadedModules {
public:
    // The module's DllGetClassObject, loading the module on first use; null
    // when it is absent or lacks the export (and is then not kept).
    DllGetClassObjectFunction* classObjectEntry(std::string_view dllName)
    {
        const std::lock_guard guard(lock);
        auto found = modules.find(dllName);
        if (found == modules.end()) {
            auto library = zuk::SharedLibrary::loadFromFolders(dllName, folders());
            if (!library || library->entryPoint<DllGetClassObjectFunction>(kDllGetClassObjectName) == nullptr)
                return nullptr;
            found = modules.emplace(std::string(dllName), std::move(*library)).first;
        }
        return found->second.entryPoint<DllGetClassObjectFunction>(kDllGetClassObjectName);
    }

    void setTestFolder(std::string folder)
    {
        const std::lock_guard guard(lock);
        testFolder = std::move(folder);
        modules.clear();
    }

private:
    std::vector<std::string> folders() const { return {testFolder, zuk::folderOfThisLibrary()}; }

    std::mutex lock;
    std::string testFolder;
    std::map<std::string, zuk::SharedLibrary, std::less<>> modules;
};

LoadedModules& loadedModules()
{
    // Never destroyed: objects of a module may outlive static destructors,
    // so its code stays mapped until the process is gone.
    static LoadedModules* const instance = new LoadedModules;
    return *instance;
}

} // namespace

HRESULT createFromComModule(REFCLSID clsid, REFIID iid, void** object)
{
    const std::string_view dllName = moduleHolding(clsid);
    if (dllName.empty())
        return REGDB_E_CLASSNOTREG;
    try {
        DllGetClassObjectFunction* entry = loadedModules().classObjectEntry(dllName);
        if (entry == nullptr)
            return REGDB_E_CLASSNOTREG;
        ComPtr<IClassFactory> factory;
        if (const HRESULT hr = entry(clsid, IID_IClassFactory, factory.putVoid()); FAILED(hr))
            return hr;
        if (!factory)
            return E_UNEXPECTED;
        return factory->CreateInstance(nullptr, iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

void setComModuleFolderForTesting(std::string folder)
{
    loadedModules().setTestFolder(std::move(folder));
}
