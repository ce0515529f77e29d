#include "mp4/urlBox.h"

#include "mp4/DataEntryText.h"
#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t urlBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    if (const auto text = restOfBox(fields))
        location = upToNul(text->begin(), text->end());
    return 0;
}

void urlBox::dump() const
{
    FullBox::dump();
    printOptional(diagnostics(), "Location:", location, "No Location:\n");
}

} // namespace MP4Box
