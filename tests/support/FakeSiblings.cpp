#include "support/FakeSiblings.h"

#include "platform/SharedLibrary.h"

namespace zuktest {

namespace {

void clearSettings()
{
    for (const char* name :
        {"ZUK_FAKE_CALLS", "ZUK_FAKE_DORNALT_RESULT", "ZUK_FAKE_DORNALT_WAV", "ZUK_FAKE_VOSTRIN_RESULT",
            "ZUK_FAKE_VOSTRIN_WAV", "ZUK_FAKE_VOSTRIN_RATE", "ZUK_FAKE_LURROW_RESULT", "ZUK_FAKE_LURROW_WAV"})
        unsetenv(name);
}

} // namespace

FakeSiblings::FakeSiblings(const std::vector<std::string>& variants)
{
    // Never an empty list, which would let the library search only its own folder.
    std::vector<std::string> folders{fakeFolder("none")};
    for (const std::string& variant : variants) {
        folders.push_back(fakeFolder(variant));
        if (!std::filesystem::is_directory(folders.back()))
            throw std::runtime_error("no fake library folder " + folders.back() + " (build target zuk_fakes)");
    }
    zuk::setLibrarySearchFoldersForTesting(folders);
    clearSettings();
    set("CALLS", callsFile);
}
FakeSiblings::~FakeSiblings()
{
    zuk::setLibrarySearchFoldersForTesting({});
    clearSettings();
    std::filesystem::remove(callsFile);
}

} // namespace zuktest
