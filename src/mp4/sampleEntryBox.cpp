#include "mp4/sampleEntryBox.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t sampleEntryBox::getBoxData(std::istream& in)
{
    if (const int32_t header = MP4Box::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    fields.bytes(reserved);
    data_reference_index = fields.u16();
    return 0;
}

void sampleEntryBox::dump() const
{
    MP4Box::dump();
    std::ostream& out = diagnostics();
    out << "Reserved : ";
    for (const uint8_t byte : reserved)
        out << static_cast<unsigned>(byte) << " ";
    out << "\n";
    out << "data_reference_index:" << data_reference_index << "\n";
}

} // namespace MP4Box
