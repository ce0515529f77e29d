// Copies the samples of a sound track, chunk by chunk, into a 16-bit PCM WAV.
#pragma once

#include "mp4/AudioTrack.h"

#include <zuk/zuk.h>

#include <istream>

namespace zuk {

// Writes the track's samples from `in` to a new WAV at `output` (16-bit PCM,
// the track's rate and channels); chunk offsets count from `base`.
// Samples wider than 16 bits are rounded to the nearest 16-bit value.
// 0; -1 (logged) when the track cannot be described, when its tables do not
// fit together or state more rows than they hold, or when a chunk lies past
// the end of the input (the whole frames read before it stay in the WAV);
// -4 when the WAV cannot be created; -7 when it cannot be written.
int32_t Makewavfile(const zuk_char* output, const AudioTrackBoxes& track, std::istream& in, uint64_t base);

} // namespace zuk
