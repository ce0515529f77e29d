// The video media header; a track holding one carries video.
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

} // namespace MP4Box
