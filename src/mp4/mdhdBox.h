// The media header: a track media's time scale, duration and language. Parsed
// for dump.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class mdhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint64_t creation_time = 0;
    uint64_t modification_time = 0;
    uint32_t timescale = 0;
    uint64_t duration = 0;
    std::array<uint8_t, 2> language{}; // packed, as stored
    std::array<uint8_t, 2> pre_defined{};
};

} // namespace MP4Box
