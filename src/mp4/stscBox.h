// Sample to chunk: runs of chunks with the same number of samples each.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class stscBox : public FullBox {
public:
    struct Row {
        uint32_t first_chunk; // counted from 1
        uint32_t samples_per_chunk;
        uint32_t sample_description_index;
    };
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t entry_count = 0;
    std::vector<Row> rows;
};

} // namespace MP4Box
