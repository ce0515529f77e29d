// Whether a file is a plain sound file, one that libsndfile reads by itself.
#pragma once

#include <zuk/zuk.h>

namespace zuk {

// True when libsndfile can open `path` for reading.
bool isSoundFile(const zuk_char* path);

} // namespace zuk
