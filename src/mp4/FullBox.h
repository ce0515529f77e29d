// A box whose header carries a version and flags.
#pragma once

#include "mp4/MP4Box.h"

namespace MP4Box {

class FullBox : public MP4Box {
public:
    // The box header, then version and flags: 0, or -1 when any is missing.
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint8_t version = 0;
    std::array<uint8_t, 3> flags{}; // in file order
};

} // namespace MP4Box

namespace MP4Box {

// A time or duration that version 0 stores in 32 bits and any other version
// in 64, widened to 64 bits.
inline uint64_t versionedTime(BoxReader& fields, uint8_t version)
{
    return version == 0 ? fields.u32() : fields.u64();
}

} // namespace MP4Box
