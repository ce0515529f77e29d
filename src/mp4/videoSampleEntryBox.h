// The sample entry of a video track. Parsed for dump.
#pragma once

#include "mp4/sampleEntryBox.h"

namespace MP4Box {

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
