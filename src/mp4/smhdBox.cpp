#include "mp4/smhdBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t smhdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    balance = fields.u16();
    reserved = fields.u16();
    return 0;
}

void smhdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Balance:" << balance << "\n";
    out << "Reserved:" << reserved << "\n";
}

} // namespace MP4Box
