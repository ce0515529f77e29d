// Command-line text (file names are any bytes) as the wide paths the library takes.
#pragma once

#include "CommandLine.h"

#include "api/Location.h"
#include "platform/WideText.h"

#include <string>

namespace zukcli {

// Any file name works: bytes that are not UTF-8 travel escaped, as the
// library expects them.
inline std::u16string widePath(const std::string& argument)
{
    return zuk::wideFromPath(argument);
}

// The file a location names once the library has decoded it (a file:// URL
// names a path).
inline std::string fileNamedBy(const std::string& location)
{
    return zuk::pathFromWide(zuk::normaliseLocation(widePath(location)).c_str()).value_or(location);
}

} // namespace zukcli
