// The filter graph manager: holds filters, connects them (inserting a
// splitter/decoder and, where needed, a converter), runs one streaming
// thread while the graph runs, queues events and seeks the audio stream.
// README.md in this folder tells which thread does what.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createFilterGraph(REFIID requested, void** object);

} // namespace zuk::media
