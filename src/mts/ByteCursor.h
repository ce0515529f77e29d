// Reads the big-endian fields of transport packets, PES packets and program
// tables from bytes of outside origin, never past their end. A read that
// would cross the end gives zeros and leaves the cursor failed; every later
// read fails too, so a parser may read a run of fields and check once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zuk {

class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> all);

    explicit operator bool() const { return good; }
    // Whole bytes read so far.
    size_t position() const { return bitAt / 8; }
    // Whole bytes left; none once failed.
    size_t remaining() const { return good ? bytes.size() - position() : 0; }

    // The next `count` bits (at most 64), the first one read the highest.
    uint64_t bits(unsigned count);
    uint8_t u8() { return static_cast<uint8_t>(bits(8)); }
    uint16_t u16() { return static_cast<uint16_t>(bits(16)); }

    // The byte-wise reads below need the cursor on a byte boundary, and fail
    // when it is not.

    // Moves on by `count` bytes; fails when fewer are left.
    bool skip(size_t count);
    // The next `count` bytes, or all that are left when fewer: for a length
    // that may claim more than its parent holds.
    std::span<const uint8_t> upTo(size_t count);
    // Everything left.
    std::span<const uint8_t> rest() { return upTo(remaining()); }
    // The next `count` bytes as a cursor of their own; when fewer are left,
    // both fail and the new one reads nothing. For fields that are read
    // whole or not at all.
    ByteCursor take(size_t count);
    // The next `count` bytes, or all that are left, as a cursor of their own.
    ByteCursor takeUpTo(size_t count) { return ByteCursor(upTo(count)); }

private:
    bool onByteBoundary();
    ByteCursor failed();

    std::span<const uint8_t> bytes;
    size_t bitAt = 0;
    bool good = true;
};

} // namespace zuk
