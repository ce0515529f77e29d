// The sample description box: the sample entries of a track, parsed with the
// layout of the track's kind (sound or video).
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class stsdBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;
    const Children* childList() const override { return &children; }

    uint32_t entry_count = 0; // as stated; the entries are the boxes present
    Children children;        // typed entries for sound and video tracks, else plain boxes
};

enum TrakType { kVideoTrak = 1, kSoundTrak = 2, kOtherTrak = 3 };

// The kind of track that holds `description` (stbl, minf, mdia above it),
// from the handler of its media box.
int getTrakType(const MP4Box& description);

} // namespace MP4Box
