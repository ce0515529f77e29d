// The data reference box: the data entries (url , urn ) of a track. The
// entries are the boxes present, whatever count it states.
#pragma once

#include "mp4/FullBox.h"

namespace MP4Box {

class drefBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;
    const Children* childList() const override { return &children; }

    uint32_t entry_count = 0; // as stated; the entries are the boxes present
    Children children;
};

} // namespace MP4Box
