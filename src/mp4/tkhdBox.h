// The track header: a track's number, duration, layer, volume and size.
// Parsed for dump.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class tkhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint64_t creation_time = 0;
    uint64_t modification_time = 0;
    uint32_t track_ID = 0;
    uint32_t reserved1 = 0;
    uint64_t duration = 0;
    std::array<uint32_t, 2> reserved2{};
    uint16_t layer = 0;
    uint16_t alternate_group = 0;
    uint16_t volume = 0;
    uint16_t reserved3 = 0;
    Matrix matrix{};
    uint32_t width = 0;  // 16.16
    uint32_t height = 0; // 16.16
};

} // namespace MP4Box
