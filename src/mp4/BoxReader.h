// Reads the big-endian fields of one box from a stream, never past the box's
// end. A read that would cross the end, or that the stream cannot satisfy,
// gives zeros and leaves the reader failed; every later read fails too.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <span>
#include <vector>

namespace MP4Box {

using FourCC = std::array<char, 4>;
using Matrix = std::array<uint32_t, 9>;

// Names and locations longer than this are cut; the rest of the box is skipped.
inline constexpr uint64_t kMaxTextBytes = 65536;

class BoxReader {
public:
    // Reads from the stream's current position up to `end`.
    BoxReader(std::istream& stream, uint64_t end);

    explicit operator bool() const { return good; }
    uint64_t position() const { return at; }
    uint64_t remaining() const { return at < end ? end - at : 0; }

    uint8_t u8();
    uint16_t u16();
    uint32_t u32();
    uint64_t u64();
    FourCC fourCC();
    // Fills `into` completely, or fails and zeroes it.
    bool bytes(std::span<uint8_t> into);
    // Everything from here to the end, but no more than `atMost` bytes
    // (empty when nothing is left).
    std::vector<uint8_t> rest(uint64_t atMost);
    template <size_t N>
    void words(std::array<uint32_t, N>& into)
    {
        for (uint32_t& word : into)
            word = u32();
    }

private:
    template <size_t N>
    uint64_t bigEndian();

    std::istream& in;
    uint64_t at = 0;
    uint64_t end;
    bool good = true;
};

} // namespace MP4Box
