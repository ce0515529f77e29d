#include "mts/ProgramTables.h"

#include "mts/ByteCursor.h"
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

// The fixed fields of a section, with zeros where the payload ends first: a
// section cut short still gives the fields it holds.
template <size_t N>
std::array<uint8_t, N> sectionHead(std::span<const uint8_t> payload)
{
    std::array<uint8_t, N> head{};
    const auto present = payload.first(std::min(N, payload.size()));
    std::copy(present.begin(), present.end(), head.begin());
    return head;
}

// The bytes of the section from `at` on.
ByteCursor sectionFrom(std::span<const uint8_t> payload, size_t at)
{
    ByteCursor cursor(payload);
    cursor.skip(at);
    return cursor;
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
    ByteCursor fields(head);
    fields.skip(1); // pointer_field
    table.table_id = fields.u8();
    table.section_syntax_indicator = static_cast<uint8_t>(fields.bits(1));
    fields.bits(1);
    table.reserved_after_syntax = static_cast<uint8_t>(fields.bits(2));
    table.section_length = static_cast<uint16_t>(fields.bits(12));
    table.transport_stream_id = fields.u16();
    table.reserved_before_version = static_cast<uint8_t>(fields.bits(2));
    table.version_number = static_cast<uint8_t>(fields.bits(5));
    table.current_next_indicator = static_cast<uint8_t>(fields.bits(1));
    table.section_number = fields.u8();
    table.last_section_number = fields.u8();

    // The entries lie between the 5 bytes after the length field and the CRC.
    table.programCount = (static_cast<int32_t>(table.section_length) - 9) / 4;
    table.programNumbers.clear();
    table.pmtPids.clear();
    if (table.programCount <= 0)
        return;
    ByteCursor entries = sectionFrom(payload, kPatEntriesAt);
    for (int32_t i = 0; i < table.programCount; ++i) {
        ByteCursor entry = entries.take(kPatEntrySize);
        if (!entry)
            break;
        table.programNumbers.push_back(entry.u16());
        entry.bits(3);
        table.pmtPids.push_back(static_cast<uint16_t>(entry.bits(13)));
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
    ByteCursor fields(head);
    fields.skip(1); // pointer_field
    table.table_id = fields.u8();
    if (table.table_id != kProgramMapTableId)
        return false;
    fields.bits(4);
    table.section_length = static_cast<uint16_t>(fields.bits(12));
    table.program_number = fields.u16();
    fields.bits(2);
    table.version_number = static_cast<uint8_t>(fields.bits(5));
    table.current_next_indicator = static_cast<uint8_t>(fields.bits(1));
    table.section_number = fields.u8();
    table.last_section_number = fields.u8();
    fields.bits(3);
    table.PCR_PID = static_cast<uint16_t>(fields.bits(13));
    fields.bits(4);
    table.program_info_length = static_cast<uint16_t>(fields.bits(12));

    const size_t first = kPmtStreamsAt + table.program_info_length;
    const int64_t sectionLength = table.section_length;
    const int64_t room = (sectionLength - static_cast<int64_t>(first) + 3) / 5;
    if (room <= 0)
        return false;
    // The CRC begins at payload byte section_length; a stream is read while a
    // whole entry fits before it, the first one always, and never past the
    // bytes the packet carried.
    ByteCursor streams = sectionFrom(payload, first);
    do {
        ByteCursor entry = streams.take(kPmtStreamSize);
        if (!entry)
            break;
        PmtStream stream;
        stream.stream_type = entry.u8();
        entry.bits(3);
        stream.elementary_PID = static_cast<uint16_t>(entry.bits(13));
        entry.bits(4);
        stream.ES_info_length = static_cast<uint16_t>(entry.bits(12));
        table.streams.push_back(stream);
        streams.skip(stream.ES_info_length);
    } while (sectionLength - static_cast<int64_t>(streams.position()) >= 5 &&
        static_cast<int64_t>(table.streams.size()) < room);
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
