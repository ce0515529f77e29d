// The part every sample entry shares; an entry is named by its format code
// ("twos", "avc1", ...).
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

} // namespace MP4Box
