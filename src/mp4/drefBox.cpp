#include "mp4/drefBox.h"

#include "mp4/BoxList.h"
#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t drefBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    entry_count = fields.u32();
    if (!fields)
        return 0;
    return getListOfBoxes(children, *this, in);
}

void drefBox::dump() const
{
    FullBox::dump();
    diagnostics() << "Entries:" << entry_count << "\n";
    dumpChildren(children, "dref:");
}

} // namespace MP4Box
