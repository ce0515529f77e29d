// The base of the box hierarchy of the ISO base media file format: the box
// header, the reading of one box, and the parts every box can be asked for.
#pragma once

#include "mp4/BoxReader.h"

#include <array>
#include <cstdint>
#include <istream>
#include <memory>
#include <string_view>
#include <vector>

namespace MP4Box {

class MP4Box;
using Children = std::vector<std::unique_ptr<MP4Box>>;

class MP4Box {
public:
    MP4Box() = default;
    virtual ~MP4Box() = default;
    MP4Box(const MP4Box&) = delete;
    MP4Box& operator=(const MP4Box&) = delete;

    // Parses the box at the stream's position, which must lie within the
    // space that ends at `spaceEnd` (the container's end, or the file's), and
    // leaves the stream at the box's end whatever the parser read. 0; the
    // parser's non-zero result; or -2 when the stream cannot be put there.
    int32_t readBox(std::istream& in, uint64_t spaceEnd);

    // Parses the box that starts at the stream's position. This one reads the
    // header only: 0, or -1 when it cannot be read or is not a valid header.
    virtual int32_t getBoxData(std::istream& in);

    // Prints the parsed fields to the diagnostics stream.
    virtual void dump() const;

    // The boxes this one contains, for containers; null for every other box.
    virtual const Children* childList() const { return nullptr; }

    bool is(std::string_view fourCharacters) const;
    // Where the box ends: its start plus its size, cut back to its space when
    // it claims more; a size of 0 runs to the end of the space.
    uint64_t endPosition() const { return end; }
    // Containers between this box and the top level.
    int depth() const;

    MP4Box* parent = nullptr;
    FourCC code{};
    uint32_t size = 0;                                     // the 32-bit size field
    uint64_t largeSize = 0;                                // the whole box in bytes as the file states it
    std::unique_ptr<std::array<uint8_t, 16>> extendedType; // "uuid" boxes only
    uint64_t startPosition = 0;

protected:
    // A reader of this box's payload from the stream's position.
    BoxReader payload(std::istream& in) const { return BoxReader(in, end); }

private:
    uint64_t spaceEnd = 0;
    uint64_t end = 0;
};

// The first box in `children` whose code is `code`, or null.
MP4Box* findChildBox(const Children& children, std::string_view code);
MP4Box* findChildBox(const MP4Box& container, std::string_view code);

} // namespace MP4Box
