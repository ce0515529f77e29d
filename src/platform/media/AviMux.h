// AVI Mux: interleaves what its inputs ("Input 01", "Input 02", ...; a free
// one always waits) receive into one AVI byte stream on "AVI Out", each
// buffer at its byte offset, for a File writer to store. Inputs take video
// described by a VIDEOINFOHEADER and sound described by a WAVEFORMATEX, in
// any coding an AVI file can hold.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createAviMux(REFIID iid, void** object);

} // namespace zuk::media
