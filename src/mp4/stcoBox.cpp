#include "mp4/stcoBox.h"

#include "mp4/Diagnostics.h"
#include "mp4/TableRows.h"

namespace MP4Box {

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
