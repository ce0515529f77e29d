// Feeds arbitrary UTF-16 text, as little-endian code unit pairs, to location
// normalisation. Nothing may crash, throw or read outside the text, and no
// result may be longer than its source: callers size buffers by the source.
#include "api/Location.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::u16string source(size / 2, u'\0');
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);

    if (zuk::normaliseLocation(source).size() > source.size())
        __builtin_trap();
    if (const auto path = zuk::fileUrlToPath(source); path && path->size() > source.size())
        __builtin_trap();
    if (zuk::decodePercentEscapes(source).size() > source.size())
        __builtin_trap();
    return 0;
}
