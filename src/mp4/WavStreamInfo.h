// What the WAV of a sound track holds: rate, channels, and how the track's
// samples are stored.
#pragma once

#include "mp4/AudioTrack.h"
#include "mp4/PcmFormat.h"

namespace zuk {

struct WavStreamInfo {
    int sampleRate = 0; // whole Hz
    int channels = 0;
    PcmFormat format;
};

// From the one audio sample entry of the track's sample description: 0, or
// -1 (logged) when there is no description, no entry, more than one, or one
// the writer cannot copy: no rate, no channels, not integer PCM of 8 to 32
// bits, or a format code it does not know whose time-to-sample and sample
// size tables do not show one uncompressed frame per sample.
int32_t getWavStreamInfo(const AudioTrackBoxes& track, WavStreamInfo& info);

} // namespace zuk
