#include "mp4/videoSampleEntryBox.h"

#include "mp4/Diagnostics.h"

#include <algorithm>

namespace MP4Box {

int32_t videoSampleEntryBox::getBoxData(std::istream& in)
{
    if (const int32_t header = sampleEntryBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    fields.bytes(pre_defined);
    width = fields.u16();
    height = fields.u16();
    horizresolution = fields.u32();
    vertresolution = fields.u32();
    reserved3 = fields.u32();
    frame_count = fields.u16();
    fields.bytes(compressorname);
    depth = fields.u16();
    pre_defined2 = fields.u16();
    return 0;
}

void videoSampleEntryBox::dump() const
{
    sampleEntryBox::dump();
    std::ostream& out = diagnostics();
    out << "width :" << width << "\n";
    out << "height :" << height << "\n";
    out << "horizontal resolution:" << horizresolution << "\n";
    out << "vertical resolution:" << vertresolution << "\n";
    out << "frame cout:" << frame_count << "\n";
    // The name is a Pascal string: a length byte, then the characters.
    const size_t length = std::min<size_t>(compressorname[0], compressorname.size() - 1);
    out << "compressor name:" << std::string_view(reinterpret_cast<const char*>(compressorname.data()) + 1, length)
        << "\n";
    out << "depth:" << depth << "\n";
}

} // namespace MP4Box
