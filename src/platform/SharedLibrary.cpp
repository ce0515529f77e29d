#include "platform/SharedLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace zuk {

namespace {

struct TestFolders {
    std::mutex lock;
    std::vector<std::string> folders;
};

TestFolders& testFolders()
{
    static TestFolders instance;
    return instance;
}

std::vector<std::string> foldersForTesting()
{
    TestFolders& test = testFolders();
    std::lock_guard guard(test.lock);
    return test.folders;
}

void* openFile(const std::string& file)
{
    return dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

std::string sharedLibraryFileName(std::string_view dllName)
{
    constexpr std::string_view windowsSuffix = ".dll";
    if (dllName.size() >= windowsSuffix.size() &&
        dllName.substr(dllName.size() - windowsSuffix.size()) == windowsSuffix)
        dllName.remove_suffix(windowsSuffix.size());
    std::string file = "lib";
    file.append(dllName).append(".so");
    return file;
}

std::string folderOfThisLibrary()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&sharedLibraryFileName), &info) == 0 || info.dli_fname == nullptr)
        return {};
    const std::string_view file(info.dli_fname);
    const size_t slash = file.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(file.substr(0, slash));
}

std::optional<SharedLibrary> SharedLibrary::load(std::string_view dllName)
{
    std::vector<std::string> folders = foldersForTesting();
    if (std::string own = folderOfThisLibrary(); !own.empty())
        folders.push_back(std::move(own));
    if (auto library = loadFromFolders(dllName, folders))
        return library;
    if (void* handle = openFile(sharedLibraryFileName(dllName)))
        return SharedLibrary(handle);
    return std::nullopt;
}

std::optional<SharedLibrary> SharedLibrary::loadFromFolders(
    std::string_view dllName, const std::vector<std::string>& folders)
{
    const std::string file = sharedLibraryFileName(dllName);
    for (const std::string& folder : folders)
        if (!folder.empty())
            if (void* handle = openFile(std::string(folder).append("/").append(file)))
                return SharedLibrary(handle);
    return std::nullopt;
}

void SharedLibrary::Closer::operator()(void* library) const
{
    dlclose(library);
}

void* SharedLibrary::lookUp(const char* name) const
{
    return dlsym(handle.get(), name);
}

void setLibrarySearchFoldersForTesting(std::vector<std::string> folders)
{
    TestFolders& test = testFolders();
    std::lock_guard guard(test.lock);
    test.folders = std::move(folders);
}

} // namespace zuk
