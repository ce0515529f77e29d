// The splitter/decoder that intelligent connection puts behind a File
// Source: one output per audio stream (decoded to 16-bit PCM at the stream's
// own rate and channels) and per video stream (compressed, nothing delivered).
// It is the graph's source of buffers and of the audio position.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

// {6C3A7C52-9B1E-4D0F-8E59-2F4B61A8D310}
inline constexpr CLSID CLSID_MediaSplitter{
    0x6C3A7C52, 0x9B1E, 0x4D0F, {0x8E, 0x59, 0x2F, 0x4B, 0x61, 0xA8, 0xD3, 0x10}};

HRESULT createMediaSplitter(REFIID iid, void** object);

} // namespace zuk::media
