#include "mts/ProgramTables.h"

#include "mts/Bits.h"
#include "mts/MtsLog.h"
#include "mts/MtsPacket.h"
#include "mts/TransportUnits.h"

#include <algorithm>
#include <string>

namespace zuk {

namespace {

constexpr size_t kPatEntriesAt = 9;
constexpr size_t kPatEntrySize = 4;
constexpr size_t kPmtStreamsAt = 13; // before the program descriptors
constexpr size_t kPmtStreamSize = 5;
constexpr uint8_t kProgramMapTableId = 2;

// The fixed fields of a section, with zeros where the payload ends first.
template <size_t N>
std::array<uint8_t, N> sectionHead(std::span<const uint8_t> payload)
{
    std::array<uint8_t, N> head{};
    const auto present = payload.first(std::min(N, payload.size()));
    std::copy(present.begin(), present.end(), head.begin());
    return head;
}

uint16_t twelveBits(std::span<const uint8_t> two)
{
    return static_cast<uint16_t>(getBits(two, 0, 12));
}

uint16_t thirteenBits(std::span<const uint8_t> two)
{
    return static_cast<uint16_t>(getBits(two, 0, 13));
}

} // namespace

int copyPidPayload(uint16_t pid, std::istream& in, TableBuffer& buffer, bool bdav)
{
    mtsLog("Copying TS stream to buffer");
    mtsLog("Looking for PID: ");
    mtsLogNumber(pid);
    if (in.peek() == std::istream::traits_type::eof())
        return 0;

    UnitReader units(in, bdav);
    MtsPacket packet;
    while (units.next()) {
        if (parsePacket(units.packet(), packet) != 0 || packet.PID != pid)
            continue;
        if (packet.payload.size() >= kTableBufferSize)
            return -1;
        std::copy(packet.payload.begin(), packet.payload.end(), buffer.bytes.begin());
        buffer.length = packet.payload.size();
        return 0;
    }
    return 0;
}

void parsePat(std::span<const uint8_t> payload, PatTable& table)
{
    const auto head = sectionHead<kPatEntriesAt>(payload);
    const auto bytes = std::span<const uint8_t>(head);
    table.table_id = head[1];
    table.section_syntax_indicator = static_cast<uint8_t>(getBits(bytes.subspan(2, 2), 15, 16));
    table.reserved_after_syntax = static_cast<uint8_t>(getBits(bytes.subspan(2, 2), 12, 14));
    table.section_length = twelveBits(bytes.subspan(2, 2));
    table.transport_stream_id = static_cast<uint16_t>(getBits(bytes.subspan(4, 2), 0, 16));
    table.reserved_before_version = getByteBits(head[6], 6, 8);
    table.version_number = getByteBits(head[6], 1, 6);
    table.current_next_indicator = getByteBits(head[6], 0, 1);
    table.section_number = head[7];
    table.last_section_number = head[8];

    // The entries lie between the 5 bytes after the length field and the CRC.
    table.programCount = (static_cast<int32_t>(table.section_length) - 9) / 4;
    table.programNumbers.clear();
    table.pmtPids.clear();
    if (table.programCount <= 0)
        return;
    for (int32_t i = 0; i < table.programCount; ++i) {
        const size_t at = kPatEntriesAt + kPatEntrySize * static_cast<size_t>(i);
        if (at + kPatEntrySize > payload.size())
            break;
        const auto entry = payload.subspan(at, kPatEntrySize);
        table.programNumbers.push_back(static_cast<uint16_t>(getBits(entry, 16, 32)));
        table.pmtPids.push_back(thirteenBits(entry.subspan(2, 2)));
    }
    table.programCount = static_cast<int32_t>(table.pmtPids.size());
}

bool findProgramMapPid(std::span<const uint8_t> payload, uint16_t& pmtPid)
{
    PatTable pat;
    parsePat(payload, pat);
    mtsLog("Looking for Program map");
    if (pat.programCount <= 0) {
        mtsLog("No programs found");
        return false;
    }
    mtsLog("Number of Programs");
    mtsLogNumber(pat.programCount);
    mtsLog("Program Map");
    mtsLogNumber(pat.pmtPids[0]);
    mtsLog("Program Number, (if it's 0 it's a network ID):");
    mtsLogNumber(pat.programNumbers[0]);
    pmtPid = pat.pmtPids[0];
    return true;
}

bool parsePmt(std::span<const uint8_t> payload, PmtTable& table)
{
    if (!table.streams.empty())
        return false;
    const auto head = sectionHead<kPmtStreamsAt>(payload);
    const auto bytes = std::span<const uint8_t>(head);
    table.table_id = head[1];
    if (table.table_id != kProgramMapTableId)
        return false;
    table.section_length = twelveBits(bytes.subspan(2, 2));
    table.program_number = static_cast<uint16_t>(getBits(bytes.subspan(4, 2), 0, 16));
    table.version_number = getByteBits(head[6], 1, 6);
    table.current_next_indicator = getByteBits(head[6], 0, 1);
    table.section_number = head[7];
    table.last_section_number = head[8];
    table.PCR_PID = thirteenBits(bytes.subspan(9, 2));
    table.program_info_length = twelveBits(bytes.subspan(11, 2));

    const size_t first = kPmtStreamsAt + table.program_info_length;
    const int64_t sectionLength = table.section_length;
    const int64_t room = (sectionLength - static_cast<int64_t>(first) + 3) / 5;
    if (room <= 0)
        return false;
    // The CRC begins at payload byte section_length; a stream is read while a
    // whole entry fits before it, the first one always, and never past the
    // bytes the packet carried.
    size_t at = first;
    do {
        if (at + kPmtStreamSize > payload.size())
            break;
        const auto entry = payload.subspan(at, kPmtStreamSize);
        PmtStream stream;
        stream.stream_type = entry[0];
        stream.elementary_PID = thirteenBits(entry.subspan(1, 2));
        stream.ES_info_length = twelveBits(entry.subspan(3, 2));
        table.streams.push_back(stream);
        at += kPmtStreamSize + stream.ES_info_length;
    } while (sectionLength - static_cast<int64_t>(at) >= 5 && static_cast<int64_t>(table.streams.size()) < room);
    table.streamCount = static_cast<int32_t>(table.streams.size());
    return true;
}

bool isAudioStreamType(uint8_t streamType)
{
    switch (streamType) {
    case 0x03: // MPEG-1 audio
    case 0x04: // MPEG-2 audio
    case 0x0F: // MPEG-2 AAC audio with ADTS framing
    case 0x81: // AC-3 audio
    case 0x8A: // DTS audio
        return true;
    default:
        return false;
    }
}

} // namespace zuk
