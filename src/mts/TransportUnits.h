// Reading a transport stream unit by unit from its start: 188-byte packets,
// or 192-byte BDAV units whose packet follows a 4-byte prefix.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>

namespace zuk {

inline constexpr size_t kBdavUnitSize = 192;
inline constexpr size_t kBdavPrefixSize = 4;

class UnitReader {
public:
    UnitReader(std::istream& in, bool bdav);

    // Reads the next unit; false at the end of the stream or when the unit is
    // cut short there.
    bool next();
    // The packet of the unit last read: 188 bytes from its sync byte.
    std::span<const uint8_t> packet() const;

private:
    std::istream& in;
    size_t unitSize;
    size_t packetOffset;
    std::array<uint8_t, kBdavUnitSize> unit{};
};

} // namespace zuk
