// Libraries loaded by name: the optional back ends, for the length of one
// call, and COM modules, for the life of the process. A missing library is
// an ordinary failure, never a load error.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zuk {

// The file a library is known by on Linux: "dornalt.dll" gives "libdornalt.so".
std::string sharedLibraryFileName(std::string_view dllName);

// The folder of the object this code is linked into: the one that holds
// libzuk.so for hosts, the program's own where the code is linked in
// statically. Empty when it cannot be told.
std::string folderOfThisLibrary();

// One loaded library, unloaded when this is destroyed.
class SharedLibrary {
public:
    // Loads the library that `dllName` stands for from the folder that holds
    // libzuk.so, then from the loader's usual search path. Nothing when no
    // such library loads.
    static std::optional<SharedLibrary> load(std::string_view dllName);
    // Loads it from the first of `folders` that holds it, and from nowhere
    // else: for libraries found where they are installed, not by a search.
    static std::optional<SharedLibrary> loadFromFolders(
        std::string_view dllName, const std::vector<std::string>& folders);

    // The entry point `name` as a function of type `Function`, or null.
    template <class Function>
    Function* entryPoint(const char* name) const
    {
        return reinterpret_cast<Function*>(lookUp(name));
    }

private:
    struct Closer {
        void operator()(void* library) const;
    };
    explicit SharedLibrary(void* opened) : handle(opened) { }
    void* lookUp(const char* name) const;

    std::unique_ptr<void, Closer> handle;
};

// Folders searched before all others, for tests that stand in for the
// libraries a machine may have. Empty by default; any thread may call it.
void setLibrarySearchFoldersForTesting(std::vector<std::string> folders);

} // namespace zuk
