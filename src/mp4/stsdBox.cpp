#include "mp4/stsdBox.h"

#include "mp4/BoxList.h"
#include "mp4/Diagnostics.h"
#include "mp4/audioSampleEntryBox.h"
#include "mp4/hdlrBox.h"
#include "mp4/videoSampleEntryBox.h"

namespace MP4Box {

int getTrakType(const MP4Box& description)
{
    const MP4Box* box = &description;
    for (const char* above : {"stbl", "minf", "mdia"}) {
        box = box->parent;
        if (box == nullptr || !box->is(above))
            return kOtherTrak;
    }
    const auto* handler = dynamic_cast<const hdlrBox*>(findChildBox(*box, "hdlr"));
    if (handler == nullptr)
        return kOtherTrak;
    const std::string_view type(handler->handler_type.data(), handler->handler_type.size());
    if (type == "soun")
        return kSoundTrak;
    if (type == "vide")
        return kVideoTrak;
    return kOtherTrak;
}

int32_t stsdBox::getBoxData(std::istream& in)
{
    if (const int32_t header = FullBox::getBoxData(in); header != 0)
        return header;
    BoxReader fields = payload(in);
    entry_count = fields.u32();
    if (!fields)
        return 0;
    getListOfBoxes(children, *this, in);
    const int kind = getTrakType(*this);
    if (kind == kOtherTrak)
        return 0;
    // The entries' codes are format codes, which the factory does not know:
    // parse each again with the layout of the track's kind.
    for (auto& child : children) {
        std::unique_ptr<MP4Box> entry;
        if (kind == kSoundTrak)
            entry = std::make_unique<audioSampleEntryBox>();
        else
            entry = std::make_unique<videoSampleEntryBox>();
        entry->parent = this;
        in.clear();
        in.seekg(static_cast<std::streamoff>(child->startPosition));
        entry->readBox(in, endPosition());
        child = std::move(entry);
    }
    return 0;
}

void stsdBox::dump() const
{
    FullBox::dump();
    std::ostream& out = diagnostics();
    out << "Box Count:" << entry_count << "\n";
    for (const auto& child : children) {
        out << "stsd:\n";
        out << "trak type: " << getTrakType(*this) << "\n";
        child->dump();
    }
}

} // namespace MP4Box
