// The length of an audio stream by itself, apart from the container's.
#pragma once

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdint>

namespace zuk::media {

// The audio stream's own length in frames at its sample rate, 0 unknown.
// See StreamLength.cpp for the order in which the sources are trusted.
int64_t audioStreamFrames(const AVFormatContext& format, const AVStream& stream);

} // namespace zuk::media
