// The MP4 PCM unwrapper: the uncompressed sound of an MP4 or QuickTime file
// as a 16-bit PCM WAV, without decoding anything.
#pragma once

#include <zuk/zuk.h>

#include <fstream>

namespace zuk {

// Finds the movie and its first sound track in `input` (opened for binary
// reading; closed on return) and copies the track's samples to a new WAV at
// `output`: 16-bit PCM at the track's rate and channels. 0; -1 when there is
// no movie, no sound track, or a track the writer cannot copy; -3 when the
// input cannot be positioned back at its movie; -4 when the WAV cannot be
// created; -7 when it cannot be written. Logs through setMP4LogFunction's hook.
int32_t unwrapMP4(const zuk_char* output, std::ifstream& input);

} // namespace zuk
