#include "mp4/mvhdBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t mvhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    timescale = fields.u32();
    duration = versionedTime(fields, version);
    rate = fields.u32();
    volume = fields.u16();
    reservedBits = fields.u16();
    fields.words(reservedWords);
    fields.words(matrix);
    fields.words(pre_defined);
    next_track_ID = fields.u32();
    return 0;
}

void mvhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since Jan.1, 1904): " << creation_time << "\n";
    out << "Modification Time (second since Jan.1,1904: " << modification_time << "\n";
    out << "timescale(times units in a second):" << timescale << "\n";
    out << "Duration( in timescale units):" << duration << "\n";
    out << "Preferred play back rate:" << (rate >> 16) << ":" << (rate & 0xFFFF) << "\n";
    out << "Preferred volume:" << (volume >> 8) << ":" << (volume & 0xFF) << "\n";
    out << "Reserved Bits:" << reservedBits << "\n";
    out << "reversed words:" << reservedWords[0] << " , " << reservedWords[1] << "\n";
    out << "Matrix : ";
    printWords(out, matrix);
    out << "Predefined :";
    printWords(out, pre_defined);
    out << "Next Track ID" << next_track_ID << "\n";
}

} // namespace MP4Box
