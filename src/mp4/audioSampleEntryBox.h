// The sample entry of a sound track: channels, sample size and rate, and the
// QuickTime extensions that say more about uncompressed samples.
#pragma once

#include "mp4/sampleEntryBox.h"

namespace MP4Box {

class audioSampleEntryBox : public sampleEntryBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    // The first two reserved bytes hold the sound description's version in
    // QuickTime files (0 in ISO files); version 1 adds the fields below.
    std::array<uint8_t, 8> reserved2{};
    uint16_t channelcount = 0;
    uint16_t samplesize = 0; // bits per sample (version 1 states bytes below)
    std::array<uint8_t, 2> pre_defined{};
    uint16_t reserved3 = 0;
    uint32_t samplerate = 0; // 16.16: the high half is the rate in Hz

    uint16_t soundVersion() const { return static_cast<uint16_t>(reserved2[0] << 8 | reserved2[1]); }
    struct VersionOneFields {
        uint32_t samplesPerPacket = 0;
        uint32_t bytesPerPacket = 0;
        uint32_t bytesPerFrame = 0;
        uint32_t bytesPerSample = 0;
    };
    VersionOneFields versionOne;
    // Set by an "enda" extension (directly or in "wave") whose flag is set.
    bool littleEndian = false;
};

} // namespace MP4Box
