#include "mp4/hdlrBox.h"

#include "mp4/Diagnostics.h"

#include <algorithm>

namespace MP4Box {

int32_t hdlrBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    pre_defined = fields.u32();
    handler_type = fields.fourCC();
    for (uint32_t& word : reserved)
        word = fields.u32();
    // The name runs to the box's end; a box too short for the fields above
    // simply has none.
    const std::vector<uint8_t> text = fields.rest(kMaxTextBytes);
    name.assign(text.begin(), std::find(text.begin(), text.end(), uint8_t{0}));
    return 0;
}

void hdlrBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "pre_defined :" << pre_defined << "\n";
    out << "handler_type :" << std::string_view(handler_type.data(), handler_type.size()) << "\n";
    out << "Reserved :" << reserved[0] << " " << reserved[1] << " " << reserved[2] << "\n";
    out << "Name:" << name << "\n";
}

} // namespace MP4Box
