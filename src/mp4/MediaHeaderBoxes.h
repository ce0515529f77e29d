// The media headers that say what kind of media a track holds: video (vmhd)
// or sound (smhd). The unwrapper takes a track with a sound header for audio.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class vmhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint16_t graphicsmode = 0;
    std::array<uint16_t, 3> opcolor{};
};

class smhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint16_t balance = 0;
    uint16_t reserved = 0;
};

} // namespace MP4Box
