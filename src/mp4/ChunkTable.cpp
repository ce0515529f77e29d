#include "mp4/ChunkTable.h"

#include "mp4/Mp4Log.h"

#include <algorithm>

namespace zuk {

std::optional<std::vector<ChunkEntry>> buildChunkTable(
    const std::vector<MP4Box::stscBox::Row>& runs, const std::vector<uint32_t>& chunkOffsets, uint64_t base)
{
    const uint64_t chunks = chunkOffsets.size();
    if (chunks == 0)
        return std::vector<ChunkEntry>{};
    if (runs.empty() || runs.front().first_chunk != 1) {
        mp4Log("Sample-to-chunk table does not cover every chunk\n");
        return std::nullopt;
    }
    std::vector<ChunkEntry> table;
    table.reserve(chunks);
    // The first run starts at chunk 1 and no run starts before the one
    // ahead of it, so every chunk number below is at least 1.
    for (size_t i = 0; i < runs.size(); ++i) {
        const bool last = i + 1 == runs.size();
        if (!last && runs[i + 1].first_chunk < runs[i].first_chunk) {
            mp4Log("Sample-to-chunk runs out of order\n");
            return std::nullopt;
        }
        const uint64_t first = uint64_t{runs[i].first_chunk} - 1;
        const uint64_t next = last ? chunks : uint64_t{runs[i + 1].first_chunk} - 1;
        // Runs may name chunks beyond the offsets; those chunks do not exist.
        for (uint64_t chunk = first; chunk < std::min(next, chunks); ++chunk)
            table.push_back({chunkOffsets[chunk] + base, runs[i].samples_per_chunk});
    }
    return table;
}

} // namespace zuk
