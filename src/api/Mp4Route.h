// The last resort of the extraction chain for ".mp4" files that no back end
// could read: lift their uncompressed sound out of the file and resample it.
#pragma once

#include <zuk/zuk.h>

#include <string>

namespace zuk {

// Unwraps the PCM sound of `input` to `output` + "2.wav" (cleared first, left
// on disk) and resamples that to the standard WAV at `output`. The
// unwrapper's failure (-1, -3, -4, -7), -4 when the input cannot be opened or
// the WAV cleared, else the resampler's result.
int32_t runMp4Route(const std::u16string& input, const std::u16string& output, ProgressCallback progress);

} // namespace zuk
