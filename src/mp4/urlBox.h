// A data entry naming where media data lives by URL; a self-contained file's
// entry stores none.
#pragma once

#include "mp4/FullBox.h"

#include <optional>
#include <string>

namespace MP4Box {

class urlBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    std::optional<std::string> location; // absent when the entry stores none
};

} // namespace MP4Box
