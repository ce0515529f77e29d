// Integer samples narrowed to fewer bits, as both the clip tools and the MP4
// unwrapper write them.
#pragma once

#include <algorithm>
#include <cstdint>

namespace zuk {

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

} // namespace zuk
