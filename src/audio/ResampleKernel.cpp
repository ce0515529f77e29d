#include "audio/ResampleKernel.h"

namespace zuk {

namespace {

// The loops are written once and compiled twice, for AVX2 and for plain
// x86-64; the CPU decides which runs. Every step is one IEEE operation in the
// order of the scalar formula (no contraction into fused multiply-adds), so
// both give the same bits.

[[gnu::always_inline]] inline void positionsLoop(
    double k0, int count, double ratio, double inRate, double outRate, double* ceilings, double* fracs)
{
    for (int i = 0; i < count; ++i) {
        const double k = k0 + i;
        const double x = k * ratio;
        // ceil(x) for 0 <= x < 2^52 without a library call: adding 2^52
        // rounds to the nearest whole number, exactly.
        const double nearest = (x + 0x1p52) - 0x1p52;
        const double ceiling = nearest + (nearest < x ? 1.0 : 0.0);
        ceilings[i] = ceiling;
        fracs[i] = (ceiling / inRate - k / outRate) * inRate;
    }
}

[[gnu::always_inline]] inline void interpolateLoop(
    int count, const double* fracs, const int16_t* a, const int16_t* b, int16_t* out)
{
    for (int i = 0; i < count; ++i)
        out[i] = static_cast<int16_t>(static_cast<int32_t>((1.0 - fracs[i]) * a[i] + fracs[i] * b[i]));
}

[[gnu::target("avx2")]] void positionsAvx2(
    double k0, int count, double ratio, double inRate, double outRate, double* ceilings, double* fracs)
{
    positionsLoop(k0, count, ratio, inRate, outRate, ceilings, fracs);
}

[[gnu::target("avx2")]] void interpolateAvx2(
    int count, const double* fracs, const int16_t* a, const int16_t* b, int16_t* out)
{
    interpolateLoop(count, fracs, a, b, out);
}

bool hasAvx2()
{
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}

} // namespace

void outputPositions(double k0, int count, double ratio, double inRate, double outRate, double* ceilings, double* fracs)
{
    if (hasAvx2())
        positionsAvx2(k0, count, ratio, inRate, outRate, ceilings, fracs);
    else
        positionsLoop(k0, count, ratio, inRate, outRate, ceilings, fracs);
}

void interpolate(int count, const double* fracs, const int16_t* a, const int16_t* b, int16_t* out)
{
    if (hasAvx2())
        interpolateAvx2(count, fracs, a, b, out);
    else
        interpolateLoop(count, fracs, a, b, out);
}

} // namespace zuk
