// What the platform answers for a file a source filter is asked to load.
#pragma once

#include "platform/com/HResult.h"

#include <string>

namespace zuk::media {

// S_OK when `path` (UTF-8) names a regular file this process may read; else
// HRESULT_FROM_WIN32 of ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or
// ERROR_ACCESS_DENIED (a folder too), as the platform gives them.
HRESULT checkReadable(const std::string& path);

} // namespace zuk::media
