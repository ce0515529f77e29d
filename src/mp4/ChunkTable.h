// Where each chunk of a track starts and how many samples it holds, from the
// chunk offset and sample-to-chunk tables.
#pragma once

#include "mp4/stscBox.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace zuk {

struct ChunkEntry {
    uint64_t position = 0; // of the chunk's first byte
    uint32_t samples = 0;  // per channel, from the chunk's run
};

// One row per chunk offset, in chunk order; a run covers the chunks from its
// first chunk up to the next run's first, the last run up to the last chunk,
// and chunks that no offset names are left out. Nothing when some chunk
// belongs to no run (no runs, a first run after chunk 1) or when runs go
// backwards: no sample count could be trusted then.
std::optional<std::vector<ChunkEntry>> buildChunkTable(
    const std::vector<MP4Box::stscBox::Row>& runs, const std::vector<uint32_t>& chunkOffsets, uint64_t base);

} // namespace zuk
