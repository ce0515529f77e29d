/*
 * zuk: the sound of any media file as a WAV file.
 *
 * Every function here is a plain C function. None throws, none keeps state
 * between calls, and each releases everything it opened before it returns.
 * Any thread may call them; calls on different files may run at once.
 *
 * Paths are NUL-terminated UTF-16 text (zuk_char). Text that is not valid
 * UTF-16 names no file. Results are signed: 0 or more is success, a negative
 * value is one of the failure codes below.
 *
 * The standard WAV the library writes is mono, 16-bit PCM, 48000 Hz.
 */
#ifndef ZUK_ZUK_H
#define ZUK_ZUK_H

#include <stdint.h>
#include <sndfile.h>

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

#define ZUK_API __attribute__((visibility("default")))

/* One UTF-16 code unit of a path; managed hosts marshal strings as LPWStr. */
typedef char16_t zuk_char;

/*
 * Receives the percentage done, 0 to 100, on the caller's thread. Its result
 * is ignored. A null callback is allowed and simply receives nothing.
 */
typedef int (*ProgressCallback)(float percent);

/* Result codes. They never change; "who returns what" is noted per function. */
enum zuk_result {
    ZUK_OK = 0,             /* success */
    ZUK_OK_UNPADDED = 2,    /* success, but no video frame rate was found, so the WAV is not padded to whole video frames */
    ZUK_E_OPEN = -1,        /* a file cannot be opened or positioned, an argument is invalid, or a needed library or entry point is missing */
    ZUK_E_UNSUPPORTED = -2, /* the back end cannot work here: the system is too old, or the media cannot be opened or rendered */
    ZUK_E_SHORT_COPY = -3,  /* a copy wrote fewer frames than it read, or an MP4 input cannot be positioned back at its movie box */
    ZUK_E_EXTRACT = -4,     /* extraction failed: no back end succeeded, or success was reported but no output file exists */
    ZUK_E_NO_SAMPLES = -5,  /* the decoder delivered no samples */
    ZUK_E_WRITE = -7,       /* the output file (or an intermediate file) cannot be opened or written */
    ZUK_E_PES_FILE = -40    /* the transport-stream extractor cannot create its intermediate PES file */
};

/* ---- Sample-rate conversion ------------------------------------------------
 *
 * The resampler folds each input frame to mono (the mean of its channels,
 * truncated) and interpolates linearly between the two mono values around
 * each output position. No filtering, no dithering. The input is anything
 * libsndfile reads; floating-point input is scaled to the full 16-bit range.
 * If the input holds fewer frames than its header claims, the output ends
 * with the last frame really read.
 */

/*
 * Converts `input` to a mono 16-bit PCM WAV at `outputRate` Hz.
 * `progress` is called with the percentage done every 20000 input frames.
 * Returns ZUK_OK; ZUK_E_OPEN when the input or the output cannot be opened or
 * `outputRate` is not above 0; ZUK_E_WRITE when a write fails (what was
 * written stays in the output).
 */
ZUK_API int32_t resampleAudioWithRate(const zuk_char* input, const zuk_char* output,
                                      ProgressCallback progress, int32_t outputRate);

/* resampleAudioWithRate at 48000 Hz: the library's standard WAV. */
ZUK_API int32_t resampleAudio(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

/*
 * resampleAudioWithRate at `rate` truncated to whole Hz (44100.9 gives 44100),
 * without progress. A rate that is not finite or not between 1 and INT32_MAX
 * after truncation gives ZUK_E_OPEN.
 */
ZUK_API int32_t ConvertToWav(const zuk_char* input, const zuk_char* output, float rate);

/* ---- Cutting and padding clips ---------------------------------------------
 *
 * Times are seconds; the input's sample rate turns them into frames (start
 * truncated, end rounded to the nearest frame). The output has the input's
 * rate and channels and either the input's format or, when `force16` is not 0,
 * 16-bit PCM WAV. Between integer PCM formats samples are copied exactly
 * (narrowed by dropping low bits); otherwise they move through libsndfile's
 * normalised doubles.
 */

/*
 * Writes the range `start`..`end` of `input` to `output`. Where the range runs
 * past the end of the input, silence fills it to its full length.
 * Returns ZUK_OK, or ZUK_E_OPEN when a file cannot be opened, `start` lies
 * beyond the input, a time is not finite, or a write fails.
 */
ZUK_API int32_t sliceAudio(const zuk_char* input, const zuk_char* output, double start, double end,
                           int32_t force16);

/*
 * Writes `lead` seconds of silence, then the range `start`..`end` of `input`,
 * then silence until the output is `total` seconds long (the lead counts
 * toward the total; nothing is cut when the output is already longer).
 * Results as sliceAudio.
 */
ZUK_API int32_t sliceAudioWithPadding(const zuk_char* input, double lead, const zuk_char* output,
                                      double start, double end, double total, int32_t force16);

/*
 * Copies frames `first` up to (not including) `end` from `input` to `output`,
 * two open libsndfile handles (of the same libsndfile the library uses).
 * `info` describes the input; the output must have as many channels.
 * Copying stops early at the end of the input. Returns the frames copied;
 * -1 when a handle is null, `info` has no channels or more than 2048, or the
 * input cannot be positioned at `first`; -3 when a write is short.
 */
ZUK_API int64_t Helper_CopyAudio(SNDFILE* input, SNDFILE* output, int64_t first, int64_t end, SF_INFO info);

/*
 * Helper_CopyAudio over the frames from `start` seconds (truncated) to `end`
 * seconds (rounded). A time that is not finite gives -1.
 */
ZUK_API int64_t Helper_CopyAudioSec(SNDFILE* input, SNDFILE* output, double start, double end, SF_INFO info);

/* ---- Frame rates ---------------------------------------------------------- */

/*
 * Snaps a measured video frame rate to its nominal value: the nearest whole
 * rate (25.0), or that rate times 1000/1001 when the measurement lies closer
 * to it (29.97 gives 29.97002997...).
 */
ZUK_API double FixFrameRate(double framesPerSecond);

#ifdef __cplusplus
}
#endif

#endif
