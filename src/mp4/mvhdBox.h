// The movie header: time scale, duration and playback defaults of the whole
// movie. Parsed for dump.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class mvhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint64_t creation_time = 0;
    uint64_t modification_time = 0;
    uint32_t timescale = 0;
    uint64_t duration = 0;
    uint32_t rate = 0;   // 16.16
    uint16_t volume = 0; // 8.8
    uint16_t reservedBits = 0;
    std::array<uint32_t, 2> reservedWords{};
    Matrix matrix{};
    std::array<uint32_t, 6> pre_defined{};
    uint32_t next_track_ID = 0;
};

} // namespace MP4Box
