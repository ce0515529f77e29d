#include "mts/ReadAhead.h"

#include <algorithm>
#include <cstring>

namespace zuk {

namespace {

// About 64 KB a read beyond the look-ahead: large reads cost far less than
// many small ones.
constexpr size_t kBlockBytes = 1 << 16;

} // namespace

ReadAhead::ReadAhead(std::istream& input, size_t lookAhead)
    : in(input), capacity(lookAhead + kBlockBytes), buffer(std::make_unique_for_overwrite<uint8_t[]>(capacity))
{
    exhausted = !in;
}

std::span<const uint8_t> ReadAhead::ahead(size_t count)
{
    if (end - begin < count && !exhausted) {
        if (begin + count > capacity) {
            std::memmove(buffer.get(), buffer.get() + begin, end - begin);
            end -= begin;
            begin = 0;
        }
        const size_t room = capacity - end;
        in.read(reinterpret_cast<char*>(buffer.get() + end), static_cast<std::streamsize>(room));
        const auto got = static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0));
        end += got;
        exhausted = got < room;
    }
    return std::span<const uint8_t>(buffer.get() + begin, std::min(count, end - begin));
}

void ReadAhead::skip(size_t count)
{
    begin += std::min(count, end - begin);
}

bool ReadAhead::readToTheEnd() const
{
    return !in.bad();
}

} // namespace zuk
