// The pieces the clip tools share, and the narrowing of integer samples that
// the MP4 unwrapper shares with them.
#pragma once

#include "platform/SoundFile.h"

#include <zuk/zuk.h>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace zuk {

// Samples (not frames) in the block buffer of a copy or a silence write.
inline constexpr int kClipBlockSamples = 2048;

// Opens `inputPath` for reading and `outputPath` for writing with the input's
// rate and channels, and its format or (force16) 16-bit PCM WAV.
// 0 with both open, or -1 with neither.
int openSlicePair(const zuk_char* inputPath, SoundFilePtr& input, SF_INFO& inputInfo, const zuk_char* outputPath,
                  SoundFilePtr& output, SF_INFO& outputInfo, int32_t force16);

// Writes `frames` frames of silence; returns `frames` (0 when it is 0 or less),
// or -1 when fewer were written.
int64_t writeSilence(SNDFILE* output, int64_t frames, SF_INFO info);

// `sample`, an integer sample left-aligned in 32 bits (as libsndfile's int
// functions hold every integer format), rounded to the nearest value of `bits`
// bits, halves up, and kept at the largest where it would round past it;
// still left-aligned. Dropping its low bits then narrows it without
// truncation's bias of half a step.
inline int32_t roundedToBits(int32_t sample, int bits)
{
    if (bits >= 32)
        return sample;
    const int shift = 32 - bits;
    const int64_t nearest = (int64_t{sample} + (int64_t{1} << (shift - 1))) >> shift;
    const int64_t largest = (int64_t{1} << (bits - 1)) - 1;
    return static_cast<int32_t>(std::min(nearest, largest) << shift);
}

// A time in seconds at `rate` as a frame position: truncated, or rounded to
// the nearest frame. Nothing when the result is not finite or outside int64.
std::optional<int64_t> framesAt(double seconds, int rate, bool rounded);

} // namespace zuk
