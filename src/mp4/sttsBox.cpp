#include "mp4/sttsBox.h"

#include "mp4/Diagnostics.h"
#include "mp4/TableRows.h"

namespace MP4Box {

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

} // namespace MP4Box
