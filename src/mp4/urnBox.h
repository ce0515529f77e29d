// A data entry naming where media data lives by a name and an optional
// location.
#pragma once

#include "mp4/FullBox.h"

#include <optional>
#include <string>

namespace MP4Box {

class urnBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    std::optional<std::string> name;     // absent when the entry stores nothing
    std::optional<std::string> location; // what follows the name's NUL, if there is one
};

} // namespace MP4Box
