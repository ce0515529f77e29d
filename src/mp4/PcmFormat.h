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
    bool isUnsigned = false; // offset binary: 8-bit "raw " and unspecified formats only
};

// The storage of `entry`'s samples, or nothing when its format code names
// compressed or floating-point sound, or PCM at a size this copy cannot take.
// The PCM codes are "twos", "sowt", "raw ", "in24", "in32", "NONE" and four
// zero bytes. Any other code is unknown, and its samples are taken as those of
// an unspecified format: big-endian two's complement, 8-bit ones offset
// binary; only the sample tables can confirm that they are uncompressed.
std::optional<PcmFormat> pcmFormatOf(const MP4Box::audioSampleEntryBox& entry);

// True when `code` is neither a PCM code nor one of compressed or
// floating-point sound known to this copy.
bool isUnknownFormatCode(const MP4Box::FourCC& code);

// Converts the whole samples in `bytes` to 16 bits into `out` (which holds
// at least as many) and returns their number. Wider samples are rounded to
// the nearest 16-bit value (halves up, clamped at full scale); 8-bit samples
// become their value × 256.
size_t toShorts(std::span<const uint8_t> bytes, const PcmFormat& format, std::span<int16_t> out);

} // namespace zuk
