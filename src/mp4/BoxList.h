// Reading the boxes that a container holds.
#pragma once

#include "mp4/MP4Box.h"

namespace MP4Box {

// Containers nested deeper than this keep their children unread: real files
// nest about seven levels, and each level costs a stack frame.
inline constexpr int kMaxBoxDepth = 16;

// Reads the boxes inside `parent`, from the stream's position to the
// parent's end, and appends them to `children`. A known code becomes its own
// class (parsed whole); any other stays a plain box with its header. Reading
// stops at the parent's end or at the first header that cannot be read.
// Always 0.
int32_t getListOfBoxes(Children& children, MP4Box& parent, std::istream& in);

// Prints `label` and the dump of each child, in order.
void dumpChildren(const Children& children, const char* label);

} // namespace MP4Box
