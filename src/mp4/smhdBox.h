// The sound media header; the unwrapper takes the first track holding one for
// the audio.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class smhdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint16_t balance = 0;
    uint16_t reserved = 0;
};

} // namespace MP4Box
