// LibSndFileWrapper: a source filter that reads a sound file with libsndfile.
// Load names the file; its one output pin, "Output", offers 16-bit PCM at the
// file's rate and channels and ends its stream at the end of the file.
#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

namespace zuk::sndfilewrapper {

// Creates one filter and queries it for `iid` (IBaseFilter, IFileSourceFilter, ...).
HRESULT createLibSndFileWrapper(REFIID iid, void** object);

} // namespace zuk::sndfilewrapper
