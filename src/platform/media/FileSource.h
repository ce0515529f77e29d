// File Source (Async.): names the file a graph reads. Its one output pin
// carries a byte stream that a splitter connects to and reads by name.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createFileSource(REFIID iid, void** object);

} // namespace zuk::media
