#include "mp4/mdhdBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t mdhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    timescale = fields.u32();
    duration = versionedTime(fields, version);
    fields.bytes(language);
    fields.bytes(pre_defined);
    return 0;
}

void mdhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since 1904):" << creation_time << "\n";
    out << "ModificationTime (seconds since 1904):" << modification_time << "\n";
    out << "timescale: " << timescale << "\n";
    out << "Duration: " << duration << "\n";
    out << "language:" << (language[0] << 8 | language[1]) << "\n";
    out << "pre_defined:" << (pre_defined[0] << 8 | pre_defined[1]) << "\n";
}

} // namespace MP4Box
