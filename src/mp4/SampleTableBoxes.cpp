#include "mp4/SampleTableBoxes.h"

#include "mp4/Diagnostics.h"

#include <algorithm>

namespace MP4Box {

namespace {

// Up to `count` rows of `rowBytes` each, as many as the box holds.
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

} // namespace

int32_t sttsBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    entry_count = fields.u32();
    rows = readRows<Row>(fields, entry_count, 8, [](BoxReader& r) {
        const uint32_t count = r.u32();
        return Row{count, r.u32()};
    });
    return 0;
}

void sttsBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Entry_count:" << entry_count << "\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        out << "Entry: " << i << "\n";
        out << "sample count:" << rows[i].sample_count << "\n";
        out << "sample delta:" << rows[i].sample_delta << "\n";
    }
}

int32_t stscBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    entry_count = fields.u32();
    rows = readRows<Row>(fields, entry_count, 12, [](BoxReader& r) {
        const uint32_t first = r.u32();
        const uint32_t samples = r.u32();
        return Row{first, samples, r.u32()};
    });
    return 0;
}

void stscBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Entry_count:" << entry_count << "\n";
    for (size_t i = 0; i < rows.size(); ++i) {
        out << "Entry: " << i << "\n";
        out << "FirstChunk:" << rows[i].first_chunk << "\n";
        out << "samples per chunk:" << rows[i].samples_per_chunk << "\n";
        out << "sample description index:" << rows[i].sample_description_index << "\n";
    }
}

int32_t stszBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    sample_size = fields.u32();
    sample_count = fields.u32();
    if (sample_size == 0)
        entry_size = readRows<uint32_t>(fields, sample_count, 4, [](BoxReader& r) { return r.u32(); });
    return 0;
}

void stszBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "sample_size:" << sample_size << "\n";
    out << "sample_count:" << sample_count << "\n";
    for (size_t i = 0; i < entry_size.size(); ++i)
        out << "entry_size row " << i << ":" << entry_size[i] << "\n";
}

int32_t stcoBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    entry_count = fields.u32();
    chunk_offset = readRows<uint32_t>(fields, entry_count, 4, [](BoxReader& r) { return r.u32(); });
    return 0;
}

void stcoBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Entry Count" << entry_count << "\n";
    for (size_t i = 0; i < chunk_offset.size(); ++i)
        out << "Chunk" << i + 1 << ":" << chunk_offset[i] << "\n";
}

} // namespace MP4Box
