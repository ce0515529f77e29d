// Command-line text (UTF-8) as the wide paths the library takes.
#pragma once

#include "CommandLine.h"

#include "api/Location.h"
#include "platform/WideText.h"

#include <string>

namespace zukcli {

inline std::u16string widePath(const std::string& argument)
{
    auto wide = zuk::utf8ToUtf16(argument);
    if (!wide)
        throw UsageError{"'" + argument + "' is not valid UTF-8"};
    return *wide;
}

// The file a location names once the library has decoded it (a file:// URL
// names a path); text that is not UTF-8 stays as it is.
inline std::string fileNamedBy(const std::string& location)
{
    const auto wide = zuk::utf8ToUtf16(location);
    if (!wide)
        return location;
    return zuk::utf16ToUtf8(zuk::normaliseLocation(*wide)).value_or(location);
}

} // namespace zukcli
