// The classes that four-character codes stand for inside containers.
#pragma once

#include "mp4/MP4Box.h"

namespace MP4Box {

// A new, empty box of the class that `code` names, after printing the
// class's "Found ... Box" line; null for a code without a class of its own.
std::unique_ptr<MP4Box> makeBox(const FourCC& code);

} // namespace MP4Box
