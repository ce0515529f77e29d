// The text that data entries (url , urn ) hold after their header.
#pragma once

#include "mp4/BoxReader.h"

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace MP4Box {

// The rest of the box, or nothing when no byte is left (a box too short for
// its own header fields included).
inline std::optional<std::vector<uint8_t>> restOfBox(BoxReader& fields)
{
    std::vector<uint8_t> text = fields.rest(kMaxTextBytes);
    if (text.empty())
        return std::nullopt;
    return text;
}

inline std::string upToNul(std::vector<uint8_t>::const_iterator from, std::vector<uint8_t>::const_iterator to)
{
    return std::string(from, std::find(from, to, uint8_t{0}));
}

inline void printOptional(
    std::ostream& out, const char* label, const std::optional<std::string>& text, const char* absent)
{
    if (text)
        out << label << *text << "\n";
    else
        out << absent;
}

} // namespace MP4Box
