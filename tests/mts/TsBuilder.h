// Transport packets, PES packets and program tables built in memory for the
// demultiplexer's tests, and what those tests share.
#pragma once

#include "mts/MtsLog.h"
#include "support/LogCapture.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace zuktest::mts {

using Bytes = std::vector<uint8_t>;

// Appends one by one: GCC 12 warns falsely on inserting lists into vectors.
inline void append(Bytes& bytes, const Bytes& more)
{
    for (const uint8_t byte : more)
        bytes.push_back(byte);
}

// A 188-byte packet: header 47, flags and PID, then `control` (scrambling,
// adaptation_field_control, continuity counter), then `body` padded with
// 0xFF to the end of the packet.
inline Bytes packet(uint16_t pid, bool unitStart, uint8_t control, const Bytes& body)
{
    Bytes bytes{
        0x47, static_cast<uint8_t>((unitStart ? 0x40 : 0) | (pid >> 8)), static_cast<uint8_t>(pid & 0xFF), control};
    append(bytes, body);
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
    append(unit, packetBytes);
    return unit;
}

inline void writeBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes joined(const std::vector<Bytes>& parts)
{
    Bytes all;
    for (const auto& part : parts)
        append(all, part);
    return all;
}

inline Bytes counting(size_t count, uint8_t from = 0)
{
    Bytes bytes(count);
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<uint8_t>(from + i);
    return bytes;
}

// A plain stream whose audio PID 0x44 carries PES packets of MPEG audio
// stream id holding bytes that no decoder takes.
inline Bytes undecodableAudio()
{
    std::vector<Bytes> packets;
    for (int pes = 0; pes < 20; ++pes) {
        // Exactly one packet's payload: 9 header bytes and 175 more.
        Bytes header{0, 0, 1, 0xC0, 0, 178, 0x80, 0, 0};
        append(header, counting(175, static_cast<uint8_t>(pes)));
        packets.push_back(payloadPacket(0x44, true, header));
    }
    return joined(packets);
}

struct PatEntry {
    uint16_t program;
    uint16_t pid;
};

// A PAT payload: pointer_field 0, the section with its entries and a CRC
// (never checked). `sectionLength` 0 means the real one.
inline Bytes patPayload(const std::vector<PatEntry>& entries, uint16_t sectionLength = 0)
{
    const uint16_t length = sectionLength ? sectionLength : static_cast<uint16_t>(9 + 4 * entries.size());
    Bytes bytes{0x00, 0x00, static_cast<uint8_t>(0xB0 | (length >> 8)), static_cast<uint8_t>(length & 0xFF), 0x00, 0x01,
        0xC1, 0x00, 0x00};
    for (const PatEntry& entry : entries)
        append(bytes,
            Bytes{static_cast<uint8_t>(entry.program >> 8), static_cast<uint8_t>(entry.program),
                static_cast<uint8_t>(0xE0 | (entry.pid >> 8)), static_cast<uint8_t>(entry.pid)});
    append(bytes, Bytes{0xDE, 0xAD, 0xBE, 0xEF});
    return bytes;
}

struct PmtEntry {
    uint8_t type;
    uint16_t pid;
    Bytes descriptors;
};

// A PMT payload for program 1 with PCR PID 0x1001, `programInfo` descriptor
// bytes and the streams, then a CRC. `sectionLength` 0 means the real one.
inline Bytes pmtPayload(const std::vector<PmtEntry>& streams, const Bytes& programInfo = {}, uint16_t sectionLength = 0)
{
    Bytes body;
    for (const PmtEntry& stream : streams) {
        const auto infoLength = static_cast<uint16_t>(stream.descriptors.size());
        append(body,
            Bytes{stream.type, static_cast<uint8_t>(0xE0 | (stream.pid >> 8)), static_cast<uint8_t>(stream.pid),
                static_cast<uint8_t>(0xF0 | (infoLength >> 8)), static_cast<uint8_t>(infoLength)});
        append(body, stream.descriptors);
    }
    const auto infoLength = static_cast<uint16_t>(programInfo.size());
    const uint16_t length =
        sectionLength ? sectionLength : static_cast<uint16_t>(13 + programInfo.size() + body.size());
    Bytes bytes{0x00, 0x02, static_cast<uint8_t>(0xB0 | (length >> 8)), static_cast<uint8_t>(length & 0xFF), 0x00, 0x01,
        0xC1, 0x00, 0x00, 0xF0, 0x01, static_cast<uint8_t>(0xF0 | (infoLength >> 8)), static_cast<uint8_t>(infoLength)};
    append(bytes, programInfo);
    append(bytes, body);
    append(bytes, Bytes{0xDE, 0xAD, 0xBE, 0xEF});
    return bytes;
}

// A private folder, and the demultiplexer's log captured.
struct MtsTest : ::testing::Test {
    TempDir dir;
    CapturingSink log;
    int files = 0;

    MtsTest() { zuk::setMtsLogger(LogString); }
    ~MtsTest() override { zuk::setMtsLogger(nullptr); }

    // A new file each time.
    std::string file(const Bytes& bytes)
    {
        const std::string path = dir.file("in" + std::to_string(files++) + ".m2t");
        writeBytes(path, bytes);
        return path;
    }
    bool logged(const std::string& line) const
    {
        return log.joined().find("MTSPACKET: " + line + "\n") != std::string::npos;
    }
};

} // namespace zuktest::mts
