// Sample entries: the description of one kind of sample in a track, named by
// its format code ("twos", "sowt", "in24", "avc1", ...).
#pragma once

#include "mp4/MP4Box.h"

namespace MP4Box {

class sampleEntryBox : public MP4Box {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    std::array<uint8_t, 6> reserved{};
    uint16_t data_reference_index = 0;
};

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

class videoSampleEntryBox : public sampleEntryBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    std::array<uint8_t, 16> pre_defined{}; // 2 + 2 reserved + 12
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t horizresolution = 0; // 16.16
    uint32_t vertresolution = 0;  // 16.16
    uint32_t reserved3 = 0;
    uint16_t frame_count = 0;
    std::array<uint8_t, 32> compressorname{};
    uint16_t depth = 0;
    uint16_t pre_defined2 = 0;
};

} // namespace MP4Box
