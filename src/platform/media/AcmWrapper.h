// The audio compression manager wrapper as graphs use it here: PCM in, the
// same PCM out, buffer for buffer. It gives a graph a fixed point at which
// decoded audio leaves for a multiplexer.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createAcmWrapper(REFIID iid, void** object);

} // namespace zuk::media
