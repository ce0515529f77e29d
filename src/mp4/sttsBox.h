// Decoding time to sample: runs of samples of equal duration. Parsed for
// dump.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class sttsBox : public FullBox {
public:
    struct Row {
        uint32_t sample_count;
        uint32_t sample_delta;
    };
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t entry_count = 0;
    std::vector<Row> rows;
};

} // namespace MP4Box
