// The operating system's version, as back ends that need a recent system ask it.
#pragma once

#include <cstdint>
#include <optional>

namespace zuk {

struct SystemVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
};

// Every Linux system this library builds on counts as new enough: 10.0.
SystemVersion systemVersion();

// True when `version` is 6.1 or later, the oldest that every back end runs on.
bool isAtLeast61(SystemVersion version);

// Makes systemVersion report `version` instead (nothing: the real one), so
// that tests can play an older system. Any thread may call it.
void setSystemVersionForTesting(std::optional<SystemVersion> version);

} // namespace zuk
