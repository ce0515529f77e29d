#include <zuk/zuk.h>

#include <cmath>

extern "C" ZUK_API double FixFrameRate(double framesPerSecond)
{
    const double nominal = std::floor(framesPerSecond + 0.5);
    const double asNtsc = std::fabs(framesPerSecond * 1001 / 1000 - nominal);
    const double asWhole = std::fabs(framesPerSecond - nominal);
    if (asWhole < asNtsc)
        return nominal;
    // The 1000/1001 family (29.97002997... for 30); also where NaN compares false.
    return nominal * 0.999000999000999;
}
