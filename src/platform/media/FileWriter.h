// File writer: the renderer that stores a byte stream (a muxer's output) in
// the file IFileSinkFilter names. The file is created when the filter leaves
// the stopped state, and each buffer's start is its byte offset in the file.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createFileWriter(REFIID iid, void** object);

} // namespace zuk::media
