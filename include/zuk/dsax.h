/*
 * dsax: a streaming reader of the decoded audio of any media file.
 *
 * Open a file, read its audio as 16-bit mono or stereo frames, or as mono
 * doubles, always at 48000 frames per second; seek by time or by sample;
 * close. Every operation but opening and closing takes the handle from the
 * record that opening returns.
 *
 * These are C++ functions: failures are thrown as std::runtime_error, whose
 * text is "Invalid file name", "Not a regular file" (a pipe, a device, a folder),
 * "Out of memory", or the description of the failing result code ("An invalid parameter
 * was passed to the returning function" for a handle not open, a null buffer or a count below 1).
 * Closing never throws.
 *
 * Calling order: dsax_init once, then per file dsax_open, any seeks and reads
 * on its handle, and one close on the thread that opened it. Operations on one
 * handle must not overlap; different handles may be used from different
 * threads at once.
 */
#ifndef ZUK_DSAX_H
#define ZUK_DSAX_H

#include <zuk/zuk.h>

#include <cstdint>

namespace dsax {

/* What opening learnt about a file. The record owns its two format blocks. */
struct DSAX_MEDIA_INFO {
    uint32_t handle; /* the first argument of every other operation */
    uint8_t*
        audio_format; /* WAVEFORMATEX of the first audio stream (the one read), 18 + cbSize bytes; null without audio */
    uint8_t* video_format; /* VIDEOINFOHEADER of the (last) video stream; null without video */
    double frame_rate;     /* frames per second of that video stream; 0 without video */
    int64_t duration;      /* of the audio, in 100-ns units; 0 without audio */
    int64_t sample_length; /* of the audio, in frames at its own sample rate (not 48000) */
};

/* Readies the reader; call once before the first dsax_open. Calling it again is harmless. */
ZUK_API void dsax_init();

/*
 * Opens `path` (NUL-terminated UTF-16) and returns its record. A file without
 * audio opens, but every read and seek on it throws. Sets up COM for the
 * calling thread; the close undoes it.
 */
ZUK_API DSAX_MEDIA_INFO* dsax_open(const zuk_char* path);

/*
 * Seeks: `whence` 0 from the start, 1 from the current position, 2 from the
 * end (offset then 0 or negative); any other value keeps the position. The
 * target is kept within the stream. Buffered frames are dropped. Returns the
 * new position: 100-ns units, or frames at 48000 Hz.
 */
ZUK_API int64_t dsax_seek_nsec(uint32_t handle, int64_t offset, int whence);
ZUK_API int64_t dsax_seek_samp(uint32_t handle, int64_t offset, int whence);

/*
 * Reads up to `count` frames (count >= 1); fewer only at the end of the
 * stream. Mono frames are the truncated mean of all channels; stereo frames
 * are the first two channels (a mono source twice) and need room for
 * 2 x count values. `progress`, when not null, receives the share of the
 * duration decoded so far in percent, 100 at the end. All reads consume the
 * same stream. Returns the frames delivered.
 */
ZUK_API int64_t dsax_read_short(uint32_t handle, int16_t* buffer, int64_t count, uint32_t* progress);
ZUK_API int64_t dsax_read_short_stereo(uint32_t handle, int16_t* buffer, int64_t count, uint32_t* progress);
/* As dsax_read_short, as doubles: value / 32768 when normalising, else the value. count < 2^31. */
ZUK_API int64_t dsax_read_double(uint32_t handle, double* buffer, int64_t count, uint32_t* progress);

/* Sets whether dsax_read_double normalises (initially not); returns the previous setting. */
ZUK_API int dsax_set_norm_double(uint32_t handle, int normalise);

/* Closes the handle, frees the record and sets `*info` to null. Null does nothing. */
ZUK_API void dsax_close(DSAX_MEDIA_INFO** info);
/* As dsax_close, but the caller's pointer is left as it was (pointing at freed memory). */
ZUK_API void dsax_close_unsafe(DSAX_MEDIA_INFO* info);

} // namespace dsax

#endif
