// "PCM": the audio converter of the audio compressor category. Converts
// 16-bit PCM to the rate and channel count set through IAMStreamConfig on its
// output pin (by default the input's own).
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

// {6C3A7C52-9B1E-4D0F-8E59-2F4B61A8D311}
inline constexpr CLSID CLSID_PcmConverter{0x6C3A7C52, 0x9B1E, 0x4D0F, {0x8E, 0x59, 0x2F, 0x4B, 0x61, 0xA8, 0xD3, 0x11}};

HRESULT createPcmConverter(REFIID requested, void** object);

} // namespace zuk::media
