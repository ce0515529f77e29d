#include "mp4/tkhdBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t tkhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    creation_time = versionedTime(fields, version);
    modification_time = versionedTime(fields, version);
    track_ID = fields.u32();
    reserved1 = fields.u32();
    duration = versionedTime(fields, version);
    fields.words(reserved2);
    layer = fields.u16();
    alternate_group = fields.u16();
    volume = fields.u16();
    reserved3 = fields.u16();
    fields.words(matrix);
    width = fields.u32();
    height = fields.u32();
    return 0;
}

void tkhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Creation Time (seconds since 1904):" << creation_time << "\n";
    out << "ModificationTime (seconds since 1904):" << modification_time << "\n";
    out << "Reserved 1: " << reserved1 << "\n";
    out << "Track ID: " << track_ID << "\n";
    out << "Duration: " << duration << "\n";
    out << "reserved2: " << reserved2[0] << " " << reserved2[1] << "\n";
    out << "layer : " << layer << "\n";
    out << "alternate_group:" << alternate_group << "\n";
    out << "volume:" << volume << "\n";
    out << "reserved3:" << reserved3 << "\n";
    out << "Matrix: ";
    printWords(out, matrix);
    out << "width:" << width << "\n";
    out << "height:" << height << "\n";
}

} // namespace MP4Box
