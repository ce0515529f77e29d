#include "mp4/elstBox.h"

#include "mp4/Diagnostics.h"

#include <algorithm>

namespace MP4Box {

int32_t elstBox::getBoxData(std::istream& in)
{
    diagnostics() << "elst calling base getBoxData\n";
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    diagnostics() << "Back to elst\n";
    BoxReader fields = payload(in);
    entry_count = static_cast<int32_t>(fields.u32());
    if (entry_count <= 0)
        return 0;
    const uint64_t entryBytes = version == 0 ? 12 : 20;
    const uint64_t rows = std::min<uint64_t>(static_cast<uint64_t>(entry_count), fields.remaining() / entryBytes);
    entries.reserve(rows);
    for (uint64_t i = 0; i < rows; ++i) {
        Entry entry;
        entry.segment_duration = versionedTime(fields, version);
        entry.media_time = version == 0 ? static_cast<int32_t>(fields.u32()) : static_cast<int64_t>(fields.u64());
        entry.media_rate_integer = static_cast<int16_t>(fields.u16());
        entry.media_rate_fraction = static_cast<int16_t>(fields.u16());
        entries.push_back(entry);
    }
    return 0;
}

void elstBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Entry Count:" << entry_count << "\n";
    for (size_t i = 0; i < entries.size(); ++i) {
        out << "Entry " << i << "\n";
        out << "Segment Duration :" << entries[i].segment_duration << "\n";
        out << "Media Time :" << entries[i].media_time << "\n";
        out << "Media Rate Integer:" << entries[i].media_rate_integer << "\n";
        out << "Media Rate Fraction:" << entries[i].media_rate_fraction << "\n";
    }
}

} // namespace MP4Box
