// AVI Splitter: reads the AVI file a File Source names and passes each of its
// streams on as stored (compressed), one output per stream, "Stream 00",
// "Stream 01", ... in file order. It is the graph's source of these buffers.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createAviSplitter(REFIID iid, void** object);

} // namespace zuk::media
