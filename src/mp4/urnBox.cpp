#include "mp4/urnBox.h"

#include "mp4/DataEntryText.h"
#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t urnBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    const auto text = restOfBox(fields);
    if (!text)
        return 0;
    name = upToNul(text->begin(), text->end());
    const auto nul = std::find(text->begin(), text->end(), uint8_t{0});
    if (nul != text->end())
        location = upToNul(nul + 1, text->end());
    return 0;
}

void urnBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    printOptional(out, "Name:", name, "No Name field\n");
    printOptional(out, "Location:", location, "No Location:\n");
}

} // namespace MP4Box
