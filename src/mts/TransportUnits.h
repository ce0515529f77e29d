// Reading a transport stream unit by unit: 188-byte packets, or 192-byte
// BDAV units whose packet follows a 4-byte prefix. Bytes added to or lost from
// the stream, or put before its first unit, are stepped over: the reader finds
// its way back to the units on their sync bytes.
#pragma once

#include "mts/ReadAhead.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <span>

namespace zuk {

inline constexpr size_t kBdavUnitSize = 192;
inline constexpr size_t kBdavPrefixSize = 4;

// The framing that the start of a stream shows: true for BDAV units (a sync
// byte at offset 4 of each of the first units), false for plain packets (at
// offset 0 of each), from the first byte where either shows on. Nothing when
// the bytes are too few to tell, or both or neither framing fits: the caller
// then goes by what the file is called.
std::optional<bool> bdavFramingOf(std::span<const uint8_t> start);
// The same for the first 64 KB or so of the file at `path`; nothing when it
// cannot be read.
std::optional<bool> bdavFramingOfFile(const std::filesystem::path& path);

class UnitReader {
public:
    UnitReader(std::istream& in, bool bdav);

    // Moves to the next unit; false at the end of the stream or when the unit
    // is cut short there. Where a unit's packet lacks its sync byte, the
    // reader steps on byte by byte to the next one that the following unit's
    // sync byte confirms (or that the end of the stream follows).
    bool next();
    // The packet of the unit last read: 188 bytes from its sync byte, a view
    // of the read window that is valid until the next call of next().
    std::span<const uint8_t> packet() const;
    // The bytes stepped over so far to find units again.
    uint64_t skippedBytes() const;
    // False when a read failed before the end of the stream.
    bool readToTheEnd() const;

private:
    bool startsUnit(std::span<const uint8_t> bytes) const;

    ReadAhead window;
    size_t unitSize;
    size_t packetOffset;
    std::span<const uint8_t> unit; // the unit last handed out
    bool inStep = false;           // the unit last handed out had its sync byte
    uint64_t skipped = 0;
};
} // namespace zuk
