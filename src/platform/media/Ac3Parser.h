// The "AC3 Parser Filter": its input takes a byte stream only when the bytes
// are an AC-3 elementary stream, which is what AC-3 detection asks of it.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createAc3Parser(REFIID iid, void** object);

} // namespace zuk::media
