// Which fakes of tests/fakes the library under test finds, and what they are told.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include <unistd.h>

namespace zuktest {

// The folder of one fake variant (see tests/fakes/CMakeLists.txt).
inline std::string fakeFolder(const std::string& variant)
{
    return std::string(ZUK_FAKES_DIR) + "/" + variant;
}

// While alive, the library finds exactly the fake variants named, which log
// their calls to a file of this object's; afterwards it finds none, and their
// settings are cleared. One at a time, while no other thread runs.
class FakeSiblings {
public:
    FakeSiblings(std::initializer_list<std::string> variants) : FakeSiblings(std::vector<std::string>(variants)) { }
    explicit FakeSiblings(const std::vector<std::string>& variants);
    ~FakeSiblings();
    FakeSiblings(const FakeSiblings&) = delete;
    FakeSiblings& operator=(const FakeSiblings&) = delete;

    // Sets ZUK_FAKE_<NAME> (RESULT, WAV, RATE for DORNALT, VOSTRIN, LURROW).
    void set(const std::string& name, const std::string& value)
    {
        setenv(("ZUK_FAKE_" + name).c_str(), value.c_str(), 1);
    }

    // The lines the fakes logged so far ("dornalt\tloaded", ...).
    std::vector<std::string> calls() const
    {
        std::vector<std::string> lines;
        std::ifstream file(callsFile);
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    // The same, only those that start with `library`.
    std::vector<std::string> callsOf(const std::string& library) const
    {
        std::vector<std::string> lines = calls();
        std::erase_if(lines, [&](const std::string& line) { return !line.starts_with(library + "\t"); });
        return lines;
    }

private:
    std::string callsFile = std::filesystem::temp_directory_path() / ("zuk-fake-calls-" + std::to_string(getpid()));
};

} // namespace zuktest
