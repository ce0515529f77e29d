#include "platform/SystemVersion.h"

#include <mutex>

namespace zuk {

namespace {

struct Override {
    std::mutex lock;
    std::optional<SystemVersion> version;
};

Override& testOverride()
{
    static Override instance;
    return instance;
}

} // namespace

SystemVersion systemVersion()
{
    Override& test = testOverride();
    std::lock_guard guard(test.lock);
    return test.version.value_or(SystemVersion{10, 0});
}

bool isAtLeast61(SystemVersion version)
{
    return version.major > 6 || (version.major == 6 && version.minor >= 1);
}

void setSystemVersionForTesting(std::optional<SystemVersion> version)
{
    Override& test = testOverride();
    std::lock_guard guard(test.lock);
    test.version = version;
}

} // namespace zuk
