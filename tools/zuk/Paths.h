// Command-line text (file names are any bytes) as the wide paths the library
// takes, converted by the library itself so that both agree on every name.
#pragma once

#include "CommandLine.h"

#include <zuk/zuk.h>

#include <cstdint>
#include <optional>
#include <string>

namespace zukcli {

// The result of a library conversion whose longest result is `longest`
// units: `convert` fills a buffer of that many and a NUL. Nothing on failure.
template <class Char, class Convert>
std::optional<std::basic_string<Char>> converted(size_t longest, Convert&& convert)
{
    std::basic_string<Char> text(longest + 1, Char{});
    const int64_t length = convert(text.data(), text.size());
    if (length < 0 || static_cast<uint64_t>(length) > longest)
        return std::nullopt;
    text.resize(static_cast<size_t>(length));
    return text;
}

// Any file name works: bytes that are not UTF-8 travel escaped, as the
// library expects them. A wide path has no more units than its name bytes.
inline std::u16string widePath(const std::string& argument)
{
    return converted<char16_t>(argument.size(), [&](zuk_char* buffer, size_t capacity) {
        return zuk_wide_from_path(argument.c_str(), buffer, capacity);
    }).value_or(u"");
}

// The file name a wide path names (at most three bytes per unit), or nothing
// when it names none.
inline std::optional<std::string> pathNamedBy(const std::u16string& wide)
{
    return converted<char>(3 * wide.size(),
        [&](char* buffer, size_t capacity) { return zuk_path_from_wide(wide.c_str(), buffer, capacity); });
}

// The file a location names once the library has decoded it (a file:// URL
// names a path); never longer than the location.
inline std::string fileNamedBy(const std::string& location)
{
    const std::u16string wide = widePath(location);
    const auto local = converted<char16_t>(wide.size(),
        [&](zuk_char* buffer, size_t capacity) { return zuk_normalise_location(wide.c_str(), buffer, capacity); });
    return local ? pathNamedBy(*local).value_or(location) : location;
}

} // namespace zukcli
