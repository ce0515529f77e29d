#include "mp4/FullBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t FullBox::getBoxData(std::istream& in)
{
    diagnostics() << "fullBox: Get Box Data \n";
    if (const int32_t header = MP4Box::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    version = fields.u8();
    fields.bytes(flags);
    return fields ? 0 : -1;
}

void FullBox::dump() const
{
    MP4Box::dump();
    std::ostream& out = diagnostics();
    out << "Version :" << static_cast<unsigned>(version) << "\n";
    out << "flags :" << static_cast<unsigned>(flags[0]) << " " << static_cast<unsigned>(flags[1]) << " "
        << static_cast<unsigned>(flags[2]) << "\n";
}

} // namespace MP4Box
