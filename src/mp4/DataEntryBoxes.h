// Where a track's media data lives: the data reference box and its entries.
// A self-contained file has one "url " entry without a location.
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

class urnBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;

    std::optional<std::string> name;     // absent when the entry stores nothing
    std::optional<std::string> location; // what follows the name's NUL, if there is one
};

class drefBox : public FullBox {
public:
    int32_t getBoxData(std::istream& in) override;
    void dump() const override;
    const Children* childList() const override { return &children; }

    uint32_t entry_count = 0; // as stated; the entries are the boxes present
    Children children;
};

} // namespace MP4Box
