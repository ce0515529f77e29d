// Text handed to hosts in buffers they own.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace zuk {

// As much of `text` as fits `buffer` (`capacity` bytes) with its NUL; nothing
// for a null or empty buffer.
inline void copyCutToFit(std::string_view text, char* buffer, size_t capacity)
{
    if (buffer == nullptr || capacity == 0)
        return;
    const size_t kept = std::min(text.size(), capacity - 1);
    std::copy_n(text.begin(), kept, buffer);
    buffer[kept] = '\0';
}

} // namespace zuk
