// What the WAV of a sound track holds: rate, channels, and how the track's
// samples are stored.
#pragma once

#include "mp4/PcmFormat.h"
#include "mp4/stsdBox.h"

namespace zuk {

struct WavStreamInfo {
    int sampleRate = 0; // whole Hz
    int channels = 0;
    PcmFormat format;
};

// From the one audio sample entry of `description`: 0, or -1 (logged) when
// there is none, more than one, or one the writer cannot copy (no rate, no
// channels, not integer PCM of 8 to 32 bits).
int32_t getWavStreamInfo(const MP4Box::stsdBox& description, WavStreamInfo& info);

} // namespace zuk
