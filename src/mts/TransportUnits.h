// Reading a transport stream unit by unit from its start: 188-byte packets,
// or 192-byte BDAV units whose packet follows a 4-byte prefix. The stream is
// read a block of units at a time, so it may be read ahead of the last unit
// handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <memory>
#include <optional>
#include <span>

namespace zuk {

inline constexpr size_t kBdavUnitSize = 192;
inline constexpr size_t kBdavPrefixSize = 4;

// The framing that the start of a stream shows: true for BDAV units (a sync
// byte at offset 4 of each of the first units), false for plain packets (at
// offset 0 of each). Nothing when the bytes are too few to tell, or both or
// neither framing fits: the caller then goes by what the file is called.
std::optional<bool> bdavFramingOf(std::span<const uint8_t> start);
// The same for the first bytes of the file at `path`; nothing when it cannot
// be read.
std::optional<bool> bdavFramingOfFile(const std::filesystem::path& path);

class UnitReader {
public:
    UnitReader(std::istream& in, bool bdav);

    // Moves to the next unit; false at the end of the stream or when the unit
    // is cut short there.
    bool next();
    // The packet of the unit last read: 188 bytes from its sync byte.
    std::span<const uint8_t> packet() const;

private:
    std::istream& in;
    size_t unitSize;
    size_t packetOffset;
    size_t blockSize;
    std::unique_ptr<uint8_t[]> block; // never zeroed: only what was read is handed out
    size_t unitsInBlock = 0;
    size_t current = 0; // one past the unit last handed out
};

} // namespace zuk
