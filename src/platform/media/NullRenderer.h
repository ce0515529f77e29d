// Null Renderer: takes any stream and drops it; tells the graph when its
// stream has ended.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createNullRenderer(REFIID iid, void** object);

} // namespace zuk::media
