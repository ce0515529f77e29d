#include "mp4/stszBox.h"

#include "mp4/Diagnostics.h"
#include "mp4/TableRows.h"

namespace MP4Box {

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

} // namespace MP4Box
