#include "support/FakeSiblings.h"

#include "platform/SharedLibrary.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zuktest {

namespace {

void clearSettings()
{
    for (const char* name :
        {"ZUK_FAKE_CALLS", "ZUK_FAKE_DORNALT_RESULT", "ZUK_FAKE_DORNALT_WAV", "ZUK_FAKE_VOSTRIN_RESULT",
            "ZUK_FAKE_VOSTRIN_WAV", "ZUK_FAKE_VOSTRIN_RATE", "ZUK_FAKE_LURROW_RESULT", "ZUK_FAKE_LURROW_WAV"})
        unsetenv(name);
}

std::string uniqueCallsFile()
{
    static int serial = 0;
    const std::string name = "zuk-fake-calls-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
    return (std::filesystem::temp_directory_path() / name).string();
}

} // namespace

std::string fakeFolder(const std::string& variant)
{
    return std::string(ZUK_FAKES_DIR) + "/" + variant;
}

FakeSiblings::FakeSiblings(const std::vector<std::string>& variants) : callsFile(uniqueCallsFile())
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

void FakeSiblings::set(const std::string& name, const std::string& value)
{
    setenv(("ZUK_FAKE_" + name).c_str(), value.c_str(), 1);
}

std::vector<std::string> FakeSiblings::calls() const
{
    std::vector<std::string> lines;
    std::ifstream file(callsFile);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> FakeSiblings::callsOf(const std::string& library) const
{
    std::vector<std::string> lines = calls();
    std::erase_if(lines, [&](const std::string& line) { return !line.starts_with(library + "\t"); });
    return lines;
}

} // namespace zuktest
