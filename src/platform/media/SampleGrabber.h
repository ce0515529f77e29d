// Sample Grabber: passes its stream through and shows every buffer to a
// callback (ISampleGrabberCB::BufferCB) on the graph's streaming thread.
#pragma once

#include "platform/com/Com.h"

namespace zuk::media {

HRESULT createSampleGrabber(REFIID iid, void** object);

} // namespace zuk::media
