// The handler reference: whether a track carries sound ("soun"), video
// ("vide") or something else, and a name for people.
#pragma once

#include "mp4/FullBox.h"

#include <string>

namespace MP4Box {

class hdlrBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t pre_defined = 0;
    FourCC handler_type{};
    std::array<uint32_t, 3> reserved{};
    std::string name; // up to its first NUL; empty when the box holds none
};

} // namespace MP4Box
