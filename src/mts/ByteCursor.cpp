#include "mts/ByteCursor.h"

#include <algorithm>

namespace zuk {

ByteCursor::ByteCursor(std::span<const uint8_t> all) : bytes(all) { }

uint64_t ByteCursor::bits(unsigned count)
{
    if (!good || count > 64 || count > bytes.size() * 8 - bitAt) {
        good = false;
        return 0;
    }
    uint64_t value = 0;
    while (count > 0) {
        const unsigned leftInByte = 8 - bitAt % 8;
        const unsigned taken = std::min(count, leftInByte);
        const unsigned byte = unsigned{bytes[bitAt / 8]} >> (leftInByte - taken);
        value = value << taken | (byte & ((1u << taken) - 1));
        bitAt += taken;
        count -= taken;
    }
    return value;
}

bool ByteCursor::onByteBoundary()
{
    good = good && bitAt % 8 == 0;
    return good;
}

bool ByteCursor::skip(size_t count)
{
    good = onByteBoundary() && count <= remaining();
    if (good)
        bitAt += count * 8;
    return good;
}

std::span<const uint8_t> ByteCursor::upTo(size_t count)
{
    if (!onByteBoundary())
        return {};
    const auto taken = bytes.subspan(position(), std::min(count, remaining()));
    bitAt += taken.size() * 8;
    return taken;
}

ByteCursor ByteCursor::take(size_t count)
{
    if (!onByteBoundary() || count > remaining())
        return failed();
    return takeUpTo(count);
}

ByteCursor ByteCursor::failed()
{
    good = false;
    ByteCursor none({});
    none.good = false;
    return none;
}

} // namespace zuk
