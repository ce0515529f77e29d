// The top level of an MP4 or QuickTime file: every box in file order, and
// the movie box parsed whole.
#pragma once

#include "mp4/ContainerBoxes.h"

#include <zuk/zuk.h>

#include <functional>
#include <istream>

namespace zuk {

struct TopLevel {
    int32_t result = 0;                     // 0, or -3 when the movie box cannot be gone back to
    std::unique_ptr<MP4Box::moovBox> movie; // the first movie box; null when there is none
};

// Reads the boxes of the whole stream, from its start to its end or to the
// first header that cannot be read (logged "Error parsing box\n"). The first
// "moov" is parsed with everything in it; later ones are skipped. `visit`,
// when given, sees each box as it is read: the parsed movie for that first
// "moov", a plain box with its header for every other.
TopLevel scanTopLevel(std::istream& in, const std::function<void(const MP4Box::MP4Box&)>& visit = {});

} // namespace zuk
