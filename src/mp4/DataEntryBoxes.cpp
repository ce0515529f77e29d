#include "mp4/DataEntryBoxes.h"

#include "mp4/BoxList.h"
#include "mp4/Diagnostics.h"
#include "mp4/hdlrBox.h"

#include <algorithm>

namespace MP4Box {

namespace {

// The rest of the box as text, or nothing when no byte is left (a box too
// short for its header fields included).
std::optional<std::vector<uint8_t>> restOfBox(BoxReader& fields)
{
    std::vector<uint8_t> text = fields.rest(kMaxTextBytes);
    if (text.empty())
        return std::nullopt;
    return text;
}

std::string upToNul(std::vector<uint8_t>::const_iterator from, std::vector<uint8_t>::const_iterator to)
{
    return std::string(from, std::find(from, to, uint8_t{0}));
}

void printOptional(std::ostream& out, const char* label, const std::optional<std::string>& text, const char* absent)
{
    if (text)
        out << label << *text << "\n";
    else
        out << absent;
}

} // namespace

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
