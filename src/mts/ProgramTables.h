// The program association and program map tables, each read from the payload
// of a single packet (a section that goes on in a further packet is cut
// there), and the copy of that payload out of a stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <vector>

namespace zuk {

inline constexpr size_t kTableBufferSize = 1000;

// The payload of one table packet: zeros beyond `length`, which is never read.
struct TableBuffer {
    std::array<uint8_t, kTableBufferSize> bytes{};
    size_t length = 0;

    std::span<const uint8_t> payload() const { return std::span<const uint8_t>(bytes).first(length); }
};

struct PatTable {
    uint8_t table_id = 0;
    uint8_t section_syntax_indicator = 0;
    uint8_t reserved_after_syntax = 0;
    uint16_t section_length = 0;
    uint16_t transport_stream_id = 0;
    uint8_t reserved_before_version = 0;
    uint8_t version_number = 0;
    uint8_t current_next_indicator = 0;
    uint8_t section_number = 0;
    uint8_t last_section_number = 0;
    std::vector<uint16_t> programNumbers;
    std::vector<uint16_t> pmtPids; // the network PID for program 0
    int32_t programCount = 0;
};

struct PmtStream {
    uint8_t stream_type = 0;
    uint16_t elementary_PID = 0;
    uint16_t ES_info_length = 0;
};

struct PmtTable {
    uint8_t table_id = 0;
    uint16_t section_length = 0;
    uint16_t program_number = 0;
    uint8_t version_number = 0;
    uint8_t current_next_indicator = 0;
    uint8_t section_number = 0;
    uint8_t last_section_number = 0;
    uint16_t PCR_PID = 0;
    uint16_t program_info_length = 0;
    int32_t streamCount = 0;
    std::vector<PmtStream> streams;
};

// Copies the payload of the first packet on `pid` into `buffer`. Returns 0,
// also when no such packet comes before the end of the stream (the buffer is
// then left alone), or -1 when the payload does not fit the buffer.
int copyPidPayload(uint16_t pid, std::istream& in, TableBuffer& buffer, bool bdav);

// Decodes a program association section from a packet's payload (byte 0 is
// the pointer_field, taken to be 0). Only entries wholly inside both the
// section and the payload are kept; programCount counts them, or is the
// section's own (negative) count when its length leaves no room for one.
void parsePat(std::span<const uint8_t> payload, PatTable& table);

// The PMT PID of the section's first program, which may be program 0.
bool findProgramMapPid(std::span<const uint8_t> payload, uint16_t& pmtPid);

// Decodes a program map section from a packet's payload. False when `table`
// already holds streams, the section is not a program map or its length
// leaves no room for a stream. Streams are read no further than the payload.
bool parsePmt(std::span<const uint8_t> payload, PmtTable& table);

// True for the stream types that carry audio the extraction can take.
bool isAudioStreamType(uint8_t streamType);

} // namespace zuk
