// Command-line text (UTF-8) as the wide paths the library takes.
#pragma once

#include "CommandLine.h"

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

} // namespace zukcli
