// The file that the filter upstream of a connection reads, for filters that
// open the file themselves instead of taking its bytes through the pin.
#pragma once

#include "platform/media/MediaInterfaces.h"

#include <optional>
#include <string>

namespace zuk::media {

// The UTF-8 path a File Source behind `connector` names; nothing when the
// pin's filter is not a file source or names no file.
std::optional<std::string> fileBehind(IPin* connector);

} // namespace zuk::media
