// The tables of a track's sample table box: decoding times, sample-to-chunk
// runs, sample sizes and chunk offsets. Each keeps its stated count and the
// rows really present: never more rows than the box's bytes hold.
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

class stszBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t sample_size = 0; // not 0: every sample has this size, and there are no rows
    uint32_t sample_count = 0;
    std::vector<uint32_t> entry_size;
};

class stcoBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t entry_count = 0;
    std::vector<uint32_t> chunk_offset; // 32-bit file offsets, by chunk number - 1
};

} // namespace MP4Box
