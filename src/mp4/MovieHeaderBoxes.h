// The headers of the movie, of a track and of a track's media. Parsed for
// dump; the unwrapper does not need their values.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

using Matrix = std::array<uint32_t, 9>;

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
