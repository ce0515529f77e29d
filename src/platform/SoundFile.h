// libsndfile handles opened by wide path, and closed by their owner.
#pragma once

#include <zuk/zuk.h>

#include <memory>

namespace zuk {

struct SoundFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};
using SoundFilePtr = std::unique_ptr<SNDFILE, SoundFileCloser>;

// Opens `path` with libsndfile in `mode` (SFM_READ or SFM_WRITE), filling or
// reading `info` as sf_open does. Null when the path names no file or
// libsndfile refuses it.
SoundFilePtr openSoundFile(const zuk_char* path, int mode, SF_INFO& info);

// The format in which `frames` frames of `channels` channels can be written as
// `format` asks: `format` itself while the sizes fit the 32-bit fields of its
// header; RF64, the WAV with 64-bit sizes, in place of a WAV whose sizes would
// not; 0 for an AIFF whose sizes would not, as it has no such form.
int formatHolding(int format, int channels, int64_t frames);

// Creates `path` as a 16-bit PCM WAV of `rate` and `channels`, the form every
// writer of the library makes, for at most about `frames` frames: RF64 when
// they would not fit a plain WAV. `info` receives its settings. Null as
// openSoundFile.
SoundFilePtr createPcm16Wav(const zuk_char* path, int rate, int channels, int64_t frames, SF_INFO& info);

// Closes `file` and reports whether libsndfile finished it cleanly: for an
// output, that its header was written and that its sizes fit the header (a
// writer that wrote more than it created the file for fails here rather than
// leave sizes cut to 32 bits).
bool closeSoundFile(SoundFilePtr& file);

} // namespace zuk
