// Transport packets and PES packets built in memory for the demultiplexer's
// tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zuktest::mts {

using Bytes = std::vector<uint8_t>;

// A 188-byte packet: header 47, flags and PID, then `control` (scrambling,
// adaptation_field_control, continuity counter), then `body` padded with
// 0xFF to the end of the packet.
inline Bytes packet(uint16_t pid, bool unitStart, uint8_t control, const Bytes& body)
{
    Bytes bytes{0x47, static_cast<uint8_t>((unitStart ? 0x40 : 0) | (pid >> 8)), static_cast<uint8_t>(pid & 0xFF),
                control};
    bytes.insert(bytes.end(), body.begin(), body.end());
    bytes.resize(188, 0xFF);
    return bytes;
}

// A payload-only packet whose payload begins with `payload`.
inline Bytes payloadPacket(uint16_t pid, bool unitStart, const Bytes& payload)
{
    return packet(pid, unitStart, 0x10, payload);
}

// A BDAV unit: a 4-byte prefix that must never matter, then the packet.
inline Bytes bdavUnit(const Bytes& packetBytes)
{
    Bytes unit{0x47, 0x47, 0x11, 0x00};
    unit.insert(unit.end(), packetBytes.begin(), packetBytes.end());
    return unit;
}

inline Bytes joined(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Bytes counting(size_t count, uint8_t from = 0)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(from + i);
    return bytes;
}

} // namespace zuktest::mts
