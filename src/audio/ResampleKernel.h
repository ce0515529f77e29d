// The arithmetic of the resampler over a run of output samples, in loops the
// compiler turns into vector code.
#pragma once

#include <cstdint>

namespace zuk {

// For output samples k0 .. k0 + count - 1: the first input frame at or after
// each one's position on the input's time axis (ceilings, whole numbers) and
// its distance from that position, measured as the resampler always has:
// (ceiling / inRate - k / outRate) * inRate. Positions must stay below 2^52.
void outputPositions(
    double k0, int count, double ratio, double inRate, double outRate, double* ceilings, double* fracs);

// out[i] = (1 - frac[i]) * a[i] + frac[i] * b[i], truncated toward zero.
void interpolate(int count, const double* fracs, const int16_t* a, const int16_t* b, int16_t* out);

} // namespace zuk
