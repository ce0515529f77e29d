// A stream read in large blocks, through a window that looks ahead of the
// read position: the walks over transport streams and PES files peek at what
// follows a packet before they take it, and step over bytes one at a time
// when they have lost their way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <span>

namespace zuk {

class ReadAhead {
public:
    // `lookAhead` is the most that `ahead` is ever asked for.
    ReadAhead(std::istream& in, size_t lookAhead);

    // Up to `count` bytes from the read position on: fewer only where the
    // stream ends. Valid until the next call.
    std::span<const uint8_t> ahead(size_t count);
    // Moves the read position on by `count` bytes, no more than `ahead` gave.
    void skip(size_t count);
    // False when a read failed before the end of the stream.
    bool readToTheEnd() const;

private:
    std::istream& in;
    size_t capacity;
    std::unique_ptr<uint8_t[]> buffer; // never zeroed: only what was read is handed out
    size_t begin = 0;                  // the read position
    size_t end = 0;                    // one past the last byte read
    bool exhausted = false;
};

} // namespace zuk
