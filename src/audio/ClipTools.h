// The pieces the clip tools share.
#pragma once

#include "platform/SoundFile.h"

#include <zuk/zuk.h>

#include <cstdint>
#include <optional>

namespace zuk {

// Samples (not frames) in the block buffer of a copy or a silence write.
inline constexpr int kClipBlockSamples = 2048;

// What a slice writes, in seconds: silence before the range, the range of
// the input, and the length of the whole output.
struct SliceTimes {
    double lead = 0;
    double start = 0;
    double end = 0;
    double total = 0;
};

// Opens `inputPath` for reading and `outputPath` for writing with the input's
// rate and channels, and its format or (force16) 16-bit PCM WAV, made RF64
// when the slice would not fit a WAV. 0 with both open, or -1 with neither.
int openSlicePair(const zuk_char* inputPath, SoundFilePtr& input, SF_INFO& inputInfo, const zuk_char* outputPath,
    SoundFilePtr& output, SF_INFO& outputInfo, const SliceTimes& times, int32_t force16);

// Writes `frames` frames of silence; returns `frames` (0 when it is 0 or less),
// or -1 when fewer were written.
int64_t writeSilence(SNDFILE* output, int64_t frames, SF_INFO info);

// A time in seconds at `rate` as a frame position: truncated, or rounded to
// the nearest frame. Nothing when the result is not finite or outside int64.
std::optional<int64_t> framesAt(double seconds, int rate, bool rounded);

} // namespace zuk
