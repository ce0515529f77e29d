#include "Progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zukcli {

namespace {

struct State {
    ProgressStyle style = ProgressStyle::Quiet;
    int shown = -1; // whole percent last drawn
};

State state;

void draw(int percent)
{
    if (state.style == ProgressStyle::Bar) {
        constexpr int kWidth = 40;
        const int filled = percent * kWidth / 100;
        char bar[kWidth + 1];
        for (int i = 0; i < kWidth; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[kWidth] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
    } else {
        std::fprintf(stderr, "%d%%\n", percent);
    }
    std::fflush(stderr);
    state.shown = percent;
}

} // namespace

ProgressStyle progressStyleFor(bool quiet)
{
    if (quiet)
        return ProgressStyle::Quiet;
    return isatty(STDERR_FILENO) ? ProgressStyle::Bar : ProgressStyle::Lines;
}

void startProgress(ProgressStyle style)
{
    state = State{style, -1};
}

int reportProgress(float percent)
{
    if (state.style == ProgressStyle::Quiet || !std::isfinite(percent))
        return 0;
    const int whole = std::clamp(static_cast<int>(percent), 0, 100);
    if (whole > state.shown)
        draw(whole);
    return 0;
}

void finishProgress(bool succeeded)
{
    if (state.style == ProgressStyle::Quiet)
        return;
    if (succeeded && state.shown < 100)
        draw(100);
    if (state.style == ProgressStyle::Bar && state.shown >= 0)
        std::fputc('\n', stderr);
    state.style = ProgressStyle::Quiet;
}

} // namespace zukcli
