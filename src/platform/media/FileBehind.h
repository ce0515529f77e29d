// The file a splitter reads: the one the File Source upstream of it names.
#pragma once

#include "platform/media/MediaInterfaces.h"

#include <optional>
#include <string>

namespace zuk::media {

// The path (UTF-8) that the filter owning `connector` names through
// IFileSourceFilter, or nothing when it names none.
std::optional<std::string> fileBehind(IPin* connector);

} // namespace zuk::media
