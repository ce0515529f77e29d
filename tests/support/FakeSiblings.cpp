#include "support/FakeSiblings.h"

#include "platform/SharedLibrary.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace zuktest {

std::string fakeFolder(const std::string& variant)
{
    return std::string(ZUK_FAKES_DIR) + "/" + variant;
}

ScopedEnv::ScopedEnv(std::string variable, const std::optional<std::string>& value) : name(std::move(variable))
{
    if (const char* earlier = std::getenv(name.c_str()))
        previous = earlier;
    if (value)
        setenv(name.c_str(), value->c_str(), 1);
    else
        unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv()
{
    if (previous)
        setenv(name.c_str(), previous->c_str(), 1);
    else
        unsetenv(name.c_str());
}

namespace {

std::string uniqueCallsFile()
{
    static int serial = 0;
    return (std::filesystem::temp_directory_path() /
        ("zuk-fake-calls-" + std::to_string(getpid()) + "-" + std::to_string(++serial)))
        .string();
}

} // namespace

FakeSiblings::FakeSiblings(const std::vector<std::string>& variants) : callsFile(uniqueCallsFile())
{
    std::vector<std::string> folders;
    for (const std::string& variant : variants) {
        folders.push_back(fakeFolder(variant));
        if (!std::filesystem::is_directory(folders.back()))
            throw std::runtime_error("no fake library folder " + folders.back() + " (build target zuk_fakes)");
    }
    // Never an empty list: that would let the library search only its own folder,
    // which is right, but tests state explicitly what they offer.
    if (folders.empty())
        folders.push_back(fakeFolder("none"));
    zuk::setLibrarySearchFoldersForTesting(folders);
    settings.push_back(std::make_unique<ScopedEnv>("ZUK_FAKE_CALLS", callsFile));
    for (const char* name : {"ZUK_FAKE_DORNALT_RESULT", "ZUK_FAKE_DORNALT_WAV", "ZUK_FAKE_VOSTRIN_RESULT",
             "ZUK_FAKE_VOSTRIN_WAV", "ZUK_FAKE_VOSTRIN_RATE", "ZUK_FAKE_LURROW_RESULT", "ZUK_FAKE_LURROW_WAV"})
        settings.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
}

FakeSiblings::~FakeSiblings()
{
    zuk::setLibrarySearchFoldersForTesting({});
    while (!settings.empty())
        settings.pop_back(); // newest first, so each restores what it found
    std::filesystem::remove(callsFile);
}

void FakeSiblings::set(const std::string& name, const std::string& value)
{
    settings.push_back(std::make_unique<ScopedEnv>("ZUK_FAKE_" + name, value));
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
    std::vector<std::string> lines;
    for (std::string& line : calls())
        if (line.rfind(library + "\t", 0) == 0)
            lines.push_back(std::move(line));
    return lines;
}

} // namespace zuktest
