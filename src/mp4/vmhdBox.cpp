#include "mp4/vmhdBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t vmhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    graphicsmode = fields.u16();
    for (uint16_t& colour : opcolor)
        colour = fields.u16();
    return 0;
}

void vmhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Graphics Mode:" << graphicsmode << "\n";
    out << "opcolor:" << opcolor[0] << ":" << opcolor[1] << ":" << opcolor[2] << "\n";
}

} // namespace MP4Box
