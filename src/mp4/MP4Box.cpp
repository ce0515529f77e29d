#include "mp4/MP4Box.h"

#include "mp4/Diagnostics.h"

namespace MP4Box {

int32_t MP4Box::readBox(std::istream& in, uint64_t space)
{
    spaceEnd = space;
    const int32_t result = getBoxData(in);
    if (result != 0) {
        diagnostics() << "Error getting Box Data\n";
        return result;
    }
    // A parser that stopped early or failed a read still leaves the stream
    // at the box's end, so the next box is read from the right place.
    in.clear();
    in.seekg(static_cast<std::streamoff>(end));
    return in ? 0 : -2;
}

int32_t MP4Box::getBoxData(std::istream& in)
{
    std::ostream& out = diagnostics();
    out << "MP4Box: int getBoxData\n";
    BoxReader header(in, spaceEnd);
    startPosition = header.position();
    size = header.u32();
    if (!header) {
        out << "Error getting size \n";
        return -1;
    }
    code = header.fourCC();
    if (!header) {
        out << "Error getting code \n";
        return -1;
    }
    if (size == 1) {
        out << "Reading largeSize\n";
        largeSize = header.u64();
        if (!header) {
            out << "error getting largeSize\n";
            return -1;
        }
    } else if (size == 0) {
        largeSize = spaceEnd - startPosition; // to the end of the space
    } else {
        largeSize = size;
    }
    if (is("uuid")) {
        extendedType = std::make_unique<std::array<uint8_t, 16>>();
        if (!header.bytes(*extendedType)) {
            out << "error getting uuid\n";
            return -1;
        }
    }
    // A box shorter than its own header would be read again and again.
    if (largeSize < header.position() - startPosition) {
        out << "Box size smaller than its header \n";
        return -1;
    }
    end = startPosition + largeSize;
    if (largeSize > spaceEnd - startPosition) {
        out << "Box larger than its container, cut to fit\n";
        end = spaceEnd;
    }
    return 0;
}

void MP4Box::dump() const
{
    std::ostream& out = diagnostics();
    out << "=========Box Dump=========\n";
    out << "Code :" << std::string_view(code.data(), code.size()) << "\n";
    out << "Box Size :" << size << "\n";
    if (extendedType) {
        for (const uint8_t byte : *extendedType)
            out << static_cast<char>(byte);
        out << "\n";
    }
}

bool MP4Box::is(std::string_view fourCharacters) const
{
    return std::string_view(code.data(), code.size()) == fourCharacters;
}

int MP4Box::depth() const
{
    int levels = 0;
    for (const MP4Box* box = parent; box != nullptr; box = box->parent)
        ++levels;
    return levels;
}

MP4Box* findChildBox(const Children& children, std::string_view code)
{
    for (const auto& child : children)
        if (child->is(code))
            return child.get();
    return nullptr;
}

MP4Box* findChildBox(const MP4Box& container, std::string_view code)
{
    const Children* children = container.childList();
    return children != nullptr ? findChildBox(*children, code) : nullptr;
}

} // namespace MP4Box
