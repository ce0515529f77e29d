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

// Creates `path` as a 16-bit PCM WAV of `rate` and `channels`, the form every
// writer of the library makes; `info` receives its settings. Null as openSoundFile.
SoundFilePtr createPcm16Wav(const zuk_char* path, int rate, int channels, SF_INFO& info);

// Closes `file` and reports whether libsndfile finished it cleanly (for an
// output, that its header was written).
bool closeSoundFile(SoundFilePtr& file);

} // namespace zuk
