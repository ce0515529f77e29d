// Which optional back-end libraries the library under test finds: the fakes
// of tests/fakes, chosen per test, and what they are told to do.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace zuktest {

// The folder of one fake variant: "quicktime", "dornalt", "dornalt-bare",
// "vostrin", "vostrin-extract-only", "vostrin-bare", "lurrow", "lurrow-bare",
// or "none" (empty).
std::string fakeFolder(const std::string& variant);

// While alive, the library finds exactly the fake variants named (and no
// others: the loader's own path holds none), and the fakes log their calls
// to a file of this object's. On destruction the library finds nothing again
// and the fakes' settings are cleared. One at a time, while no other thread runs.
class FakeSiblings {
public:
    FakeSiblings(std::initializer_list<std::string> variants) : FakeSiblings(std::vector<std::string>(variants)) { }
    explicit FakeSiblings(const std::vector<std::string>& variants);
    ~FakeSiblings();
    FakeSiblings(const FakeSiblings&) = delete;
    FakeSiblings& operator=(const FakeSiblings&) = delete;

    // Sets ZUK_FAKE_<NAME> (RESULT, WAV, RATE for DORNALT, VOSTRIN, LURROW).
    void set(const std::string& name, const std::string& value);

    // The lines the fakes logged so far ("dornalt\tloaded", ...).
    std::vector<std::string> calls() const;
    // The same, only those that start with `library`.
    std::vector<std::string> callsOf(const std::string& library) const;

private:
    std::string callsFile;
};

} // namespace zuktest
