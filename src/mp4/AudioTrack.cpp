#include "mp4/AudioTrack.h"

namespace zuk {

namespace {

template <class Box>
const Box* child(const MP4Box::MP4Box* container, std::string_view code)
{
    return container != nullptr ? dynamic_cast<const Box*>(findChildBox(*container, code)) : nullptr;
}

} // namespace

const MP4Box::trakBox* findAudioTrack(const MP4Box::Children& movie, AudioTrackBoxes& boxes)
{
    for (const auto& box : movie) {
        const auto* trak = dynamic_cast<const MP4Box::trakBox*>(box.get());
        const auto* minf = child<MP4Box::minfBox>(child<MP4Box::mdiaBox>(trak, "mdia"), "minf");
        if (minf == nullptr || findChildBox(*minf, "smhd") == nullptr)
            continue;
        if (const auto* stbl = child<MP4Box::stblBox>(minf, "stbl")) {
            boxes = AudioTrackBoxes{trak, minf, stbl, child<MP4Box::sttsBox>(stbl, "stts"),
                child<MP4Box::stscBox>(stbl, "stsc"), child<MP4Box::stcoBox>(stbl, "stco"),
                child<MP4Box::stszBox>(stbl, "stsz"), child<MP4Box::stsdBox>(stbl, "stsd")};
        }
        return trak;
    }
    return nullptr;
}

} // namespace zuk
