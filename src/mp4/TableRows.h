// The rows of a sample table, as many as its count states and its box holds.
#pragma once

#include "mp4/BoxReader.h"
#include "mp4/Diagnostics.h"

#include <algorithm>
#include <vector>

namespace MP4Box {

// Up to `count` rows of `rowBytes` each, read by `readRow`: never more than
// the rest of the box holds, so a count cannot size an allocation by itself.
template <class Row, class ReadRow>
std::vector<Row> readRows(BoxReader& fields, uint64_t count, uint64_t rowBytes, ReadRow readRow)
{
    const uint64_t rows = std::min(count, fields.remaining() / rowBytes);
    if (rows < count)
        diagnostics() << "Table count larger than its box, rows read: " << rows << "\n";
    std::vector<Row> table;
    table.reserve(rows);
    for (uint64_t i = 0; i < rows && fields; ++i)
        table.push_back(readRow(fields));
    return table;
}

} // namespace MP4Box
