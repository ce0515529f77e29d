// Sample sizes: one size for all samples, or a table of them. Parsed for
// dump.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class stszBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t sample_size = 0; // not 0: every sample has this size, and there are no rows
    uint32_t sample_count = 0;
    std::vector<uint32_t> entry_size;
};

} // namespace MP4Box
