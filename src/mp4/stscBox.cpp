#include "mp4/stscBox.h"

#include "mp4/Diagnostics.h"
#include "mp4/TableRows.h"

namespace MP4Box {

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

} // namespace MP4Box
