/*
 * zuk/reader.h: the decoded sound of any media file, read in blocks, for C
 * hosts and for those that load C libraries (Python's ctypes, P/Invoke).
 *
 * The same reader as the dsax functions, so both give the same samples: the
 * first audio stream, always at 48000 frames per second, as 16-bit integers
 * or as 32-bit floats (the integer value / 32768), mono (the truncated mean
 * of all channels) or stereo (the first two channels; a mono source twice).
 *
 * Nothing here throws or aborts. Results are signed like zuk.h's: 0 or more
 * is success (a count, a position), a negative value is a zuk_result code,
 * and zuk_reader_error tells why in words.
 *
 * A reader may be used from one thread at a time, any thread, and closed on
 * any thread; different readers may be used from different threads at once.
 */
#ifndef ZUK_READER_H
#define ZUK_READER_H

#include <zuk/zuk.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct zuk_reader zuk_reader;

/* What opening learnt about a file. */
typedef struct zuk_reader_info {
    int32_t rate;      /* of every read: 48000 */
    int32_t channels;  /* of the source's audio stream */
    int64_t frames;    /* its length in frames at 48000 Hz; reads may give a few more */
    double frame_rate; /* video frames per second; 0 without video */
    double duration;   /* of the audio, in seconds */
} zuk_reader_info;

/* Where a seek counts from. */
enum zuk_whence { ZUK_FROM_START = 0, ZUK_FROM_CURRENT = 1, ZUK_FROM_END = 2 };

/*
 * Opens `path` (UTF-8, or any bytes: Linux names are bytes) and sets *reader;
 * on failure sets *reader to null and copies the reason, cut to fit and
 * NUL-terminated, into `reason` (which may be null, with `reason_size` 0).
 * Returns ZUK_OK; ZUK_E_OPEN when the file cannot be opened (missing, not a
 * regular file, a bad argument); ZUK_E_UNSUPPORTED when nothing in it can be
 * decoded; ZUK_E_NO_SAMPLES when it holds no sound.
 */
ZUK_API int32_t zuk_reader_open(const char* path, zuk_reader** reader, char* reason, size_t reason_size);
/* As zuk_reader_open, with a UTF-16 path as zuk.h's functions take. */
ZUK_API int32_t zuk_reader_open_wide(const zuk_char* path, zuk_reader** reader, char* reason, size_t reason_size);

/* Fills *info. ZUK_OK; ZUK_E_OPEN for a null argument. */
ZUK_API int32_t zuk_reader_info_of(const zuk_reader* reader, zuk_reader_info* info);

/*
 * Reads up to `frames` frames of `channels` (1 or 2) interleaved values into
 * `buffer`, which holds frames x channels values. Returns the frames read:
 * fewer than asked only at the end of the sound, 0 there; or a negative code
 * (ZUK_E_OPEN for a bad argument, ZUK_E_EXTRACT when decoding fails).
 */
ZUK_API int64_t zuk_reader_read_s16(zuk_reader* reader, int16_t* buffer, int64_t frames, int32_t channels);
ZUK_API int64_t zuk_reader_read_f32(zuk_reader* reader, float* buffer, int64_t frames, int32_t channels);

/*
 * Moves to a frame (at 48000 Hz) or to a time, counted as `whence` says; a
 * target outside the sound is kept within it. Returns the new position in
 * frames, or a negative code.
 */
ZUK_API int64_t zuk_reader_seek_frame(zuk_reader* reader, int64_t frame, int32_t whence);
ZUK_API int64_t zuk_reader_seek_seconds(zuk_reader* reader, double seconds, int32_t whence);

/* The frame the next read starts at; a negative code for a null reader. */
ZUK_API int64_t zuk_reader_position(const zuk_reader* reader);

/* Why the last call on `reader` failed; "" when none did. Valid until the next call on it. */
ZUK_API const char* zuk_reader_error(const zuk_reader* reader);

/* Closes the reader and frees it. Null does nothing. */
ZUK_API void zuk_reader_close(zuk_reader* reader);

#ifdef __cplusplus
}
#endif

#endif
