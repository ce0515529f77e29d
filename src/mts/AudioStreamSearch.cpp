#include "mts/AudioStreamSearch.h"

#include "mts/MtsLog.h"
#include "mts/MtsPacket.h"
#include "mts/ProgramTables.h"
#include "mts/TransportUnits.h"

#include <fstream>

namespace zuk {

namespace {

constexpr uint16_t kPatPid = 0;
constexpr uint16_t kBdavAudioPid = 0x1100;
constexpr uint16_t kFirstElementaryPid = 0x10;
constexpr uint16_t kLastElementaryPid = 0x1FFE;
constexpr size_t kStreamIdInPayload = 3;

bool isMpegAudioStreamId(uint8_t streamId)
{
    return (streamId & 0xE0) == 0xC0;
}

// The plain-stream test of one decoded packet, with its log lines.
bool startsAudioPes(const MtsPacket& packet)
{
    if (packet.PID < kFirstElementaryPid || packet.PID > kLastElementaryPid || !packet.payload_unit_start_indicator)
        return false;
    mtsLog("Unit start indicator found");
    if (packet.payload.size() < 4)
        return false;
    mtsLog("Peeking into PES header");
    if (packet.payload.size() <= kStreamIdInPayload) {
        mtsLog("No Payload");
        return false;
    }
    mtsLog("Has Payload");
    const uint8_t streamId = packet.payload[kStreamIdInPayload];
    mtsLog("Finished peaking");
    if (isMpegAudioStreamId(streamId))
        return true;
    mtsLog("Wrong Packet #");
    return false;
}

} // namespace

int32_t findAudioStream2(const std::filesystem::path& input, bool bdav)
{
    mtsLog("In Fine Audio Stream 2");
    TableBuffer patBuffer;
    {
        std::ifstream in(input, std::ios::binary);
        if (!in)
            return -1;
        mtsLog("file Opened");
        copyPidPayload(kPatPid, in, patBuffer, bdav);
    }
    uint16_t pmtPid = 0;
    if (!findProgramMapPid(patBuffer.payload(), pmtPid)) {
        mtsLog("No, audio Stream Found");
        return -1;
    }

    mtsLog("looking for PID");
    TableBuffer pmtBuffer;
    {
        std::ifstream in(input, std::ios::binary);
        mtsLog("Reading stream");
        copyPidPayload(pmtPid, in, pmtBuffer, bdav);
    }
    mtsLog("Parsing Program map");
    PmtTable pmt;
    if (!parsePmt(pmtBuffer.payload(), pmt)) {
        mtsLog("Parse, no transport packet");
        return -1;
    }
    mtsLog("Looking for Audio Streams in Program map table");
    for (const PmtStream& stream : pmt.streams)
        if (isAudioStreamType(stream.stream_type))
            return stream.elementary_PID;
    mtsLog("No, audio Stream Found");
    return -1;
}

int32_t findAudioStream(const std::filesystem::path& input, bool bdav)
{
    mtsLog("In find Audio Stream");
    std::ifstream in(input, std::ios::binary);
    if (!in)
        return -1;
    mtsLog(bdav ? "BDav File" : "M2T file");
    mtsLog("Logging Buffer");
    UnitReader units(in, bdav);
    mtsLog("Allocated buffer, beginning file search");

    MtsPacket packet;
    while (units.next()) {
        if (parsePacket(units.packet(), packet) != 0)
            continue;
        const bool found =
            bdav ? packet.PID == kBdavAudioPid && packet.payload_unit_start_indicator : startsAudioPes(packet);
        if (found) {
            mtsLog("Packet Found preparing return values");
            return packet.PID;
        }
    }
    return 0;
}

} // namespace zuk
