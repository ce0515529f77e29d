// The edit list of a track. Parsed for dump only.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class elstBox : public FullBox {
public:
    struct Entry {
        uint64_t segment_duration = 0;
        int64_t media_time = 0; // -1: an empty edit
        int16_t media_rate_integer = 0;
        int16_t media_rate_fraction = 0;
    };

    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    int32_t entry_count = 0;    // as stated; no more rows than the box holds are read
    std::vector<Entry> entries; // the rows read
};

} // namespace MP4Box
