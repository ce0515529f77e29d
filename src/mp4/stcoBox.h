// Chunk offsets: where each chunk of a track starts in the file (32-bit).
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class stcoBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    uint32_t entry_count = 0;
    std::vector<uint32_t> chunk_offset; // 32-bit file offsets, by chunk number - 1
};

} // namespace MP4Box
