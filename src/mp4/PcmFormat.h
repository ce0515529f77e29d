// How a sound track's uncompressed samples are stored, and their conversion
// to the 16-bit samples of the WAV the unwrapper writes.
#pragma once

#include "mp4/audioSampleEntryBox.h"

#include <cstdint>
#include <optional>
#include <span>

namespace zuk {

struct PcmFormat {
    unsigned bytesPerSample = 2; // 1 to 4
    bool littleEndian = false;
    bool isUnsigned = false; // offset binary: 8-bit "raw " samples only
};

// The storage of `entry`'s samples, or nothing when they are not integer PCM
// of 8, 16, 24 or 32 bits ("twos", "sowt", "raw ", "in24", "in32").
std::optional<PcmFormat> pcmFormatOf(const MP4Box::audioSampleEntryBox& entry);

// Converts the whole samples in `bytes` to 16 bits into `out` (which holds
// at least as many) and returns their number. Wider samples keep their top
// 16 bits (truncation, no dither); 8-bit samples become their value × 256.
size_t toShorts(std::span<const uint8_t> bytes, const PcmFormat& format, std::span<int16_t> out);

} // namespace zuk
