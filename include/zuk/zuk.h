/*
 * zuk: the sound of any media file as a WAV file.
 *
 * Every function here is a plain C function. None throws, none keeps state
 * between calls, and each releases everything it opened before it returns.
 * Any thread may call them; calls on different files may run at once.
 *
 * Paths are NUL-terminated UTF-16 text (zuk_char). Linux file names are bytes,
 * mostly UTF-8; a byte B that is not part of valid UTF-8 is written as the lone
 * surrogate U+DC00 + B (U+DC80 to U+DCFF), and such units become that byte
 * again when the file is opened, so every name can be passed ("lat\xE9.wav" is
 * u"lat\xDCE9.wav"). Any other lone surrogate names no file. Results are
 * signed: 0 or more is success, a negative value is one of the failure codes
 * below.
 *
 * The standard WAV the library writes is mono, 16-bit PCM, 48000 Hz.
 */
#ifndef ZUK_ZUK_H
#define ZUK_ZUK_H

#include <sndfile.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

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
    ZUK_OK = 0, /* success */
    ZUK_OK_UNPADDED =
        2, /* success, but no video frame rate was found, so the WAV is not padded to whole video frames */
    ZUK_E_OPEN =
        -1, /* a file cannot be opened or positioned, an argument is invalid, or a needed library or entry point is missing */
    ZUK_E_UNSUPPORTED =
        -2, /* the back end cannot work here: the system is too old, or the media cannot be opened or rendered */
    ZUK_E_SHORT_COPY =
        -3, /* a copy wrote fewer frames than it read, or an MP4 input cannot be positioned back at its movie box */
    ZUK_E_EXTRACT =
        -4, /* extraction failed: no back end succeeded, or success was reported but no output file exists */
    ZUK_E_NO_SAMPLES = -5, /* the decoder delivered no samples */
    ZUK_E_WRITE = -7,      /* the output file (or an intermediate file) cannot be opened or written */
    ZUK_E_PES_FILE = -40   /* the transport-stream extractor cannot create its intermediate PES file */
};

/* ---- Extraction -------------------------------------------------------------
 *
 * Locations are paths or file:// URLs (file:///home/me/My%20Clips/take.mov);
 * a URL's percent escapes are decoded, UTF-8 sequences of escapes included.
 * The input's extension, in any case, picks a back end:
 *   .wav                the resampler;
 *   .mp3, .aif, .aiff   the QuickTime back end only;
 *   .r3d                the R3D back end only (any failure gives ZUK_E_EXTRACT);
 *   .m2t, .mts, .m2ts   MTSExtract, with the framing the file's first bytes
 *                       show (188-byte packets, or 192-byte BDAV units); when
 *                       they do not tell, .m2t means packets, .mts and .m2ts
 *                       BDAV units;
 *   .mpg, .mpeg         their audio is first decoded into `output`+".avi" (left on
 *                       disk; ZUK_E_EXTRACT when that fails), which the chain
 *                       below then reads;
 * anything else goes through a chain: a sound file libsndfile reads is
 * resampled; otherwise the QuickTime back end, then the library's own decoder
 * (Dsax_Extraction, which reads any file FFmpeg decodes), then the Media
 * Foundation back end are tried until one succeeds. ZUK_E_WRITE from the
 * QuickTime back end or the decoder ends the chain. After a success the output must exist, else the result is
 * ZUK_E_EXTRACT. Back ends that live in optional libraries answer ZUK_E_OPEN
 * where those are not installed.
 *
 * A file left at `output` (or at an intermediate name) by an earlier run is
 * removed before the step that writes it; a symlink there keeps pointing
 * where it did, and its target is emptied. An input that is no regular file
 * (a pipe, a device, a folder), or an `output` or intermediate that is the
 * input under any name or link, fails the call with ZUK_E_OPEN before anything
 * is opened; every function here refuses both (HRESULT ones: E_INVALIDARG).
 *
 * When the chain fails for an input whose extension is .mp4 (in any case),
 * the MP4 route tries last: the first sound track's uncompressed PCM samples
 * are copied without decoding to `output`+"2.wav" (left on disk; 16-bit,
 * wider samples rounded, the track's rate and channels), which is resampled
 * to `output`. A format code the route does not know counts as PCM when the
 * sample tables show one uncompressed frame per sample. Its failures:
 * ZUK_E_OPEN (no movie, no sound track, not integer PCM, 64-bit chunk
 * offsets, tables that do not fit or hold fewer rows than they state, or a
 * chunk past the end of the file),
 * ZUK_E_EXTRACT (the input cannot be opened or the WAV created), ZUK_E_WRITE.
 */

/*
 * The MP4 route's box parser describes every box it reads, and it writes
 * these diagnostics to standard output unless told otherwise: to `stream`
 * from now on, or nowhere when `stream` is null. The stream must stay open
 * while extractions run; set it before they start, not during one.
 */
ZUK_API void zuk_set_mp4_diagnostics(FILE* stream);

/*
 * Prints the box tree of the MP4 or QuickTime file `input` to `output`, as
 * the MP4 route parses it: every top-level box in file order, and the first
 * movie box with every box inside it, each flushed as it is printed. The
 * parser's commentary goes where zuk_set_mp4_diagnostics points it. The
 * dump borrows that stream while it prints, so run no extraction and no
 * other dump meanwhile. `*hasMovie`, when not null, is set to 1 when the
 * file holds a movie box, else 0. Returns ZUK_OK (whether or not
 * there was a movie); ZUK_E_OPEN when `output` is null or `input` is no
 * regular file or cannot be opened; ZUK_E_SHORT_COPY when the input cannot
 * be positioned back at its movie box. The caller owns `output` and sees its
 * write errors (ferror).
 */
ZUK_API int32_t zuk_mp4_dump(const zuk_char* input, FILE* output, uint8_t* hasMovie);

/*
 * The MP4 route's first step alone: copies the samples of the first sound
 * track of `input` to a new WAV at `output`, 16-bit PCM at the track's rate
 * and channels, without decoding and without resampling. Logs through the
 * log sink. Returns ZUK_OK; ZUK_E_OPEN when `input` is no regular file or
 * cannot be opened, `output` is the input, or (as the route) the file has
 * no movie or no integer PCM sound track; ZUK_E_SHORT_COPY, ZUK_E_EXTRACT
 * (the WAV cannot be created) and ZUK_E_WRITE as the route. An earlier file
 * at `output` is only replaced once the WAV is created.
 */
ZUK_API int32_t zuk_mp4_unwrap(const zuk_char* input, const zuk_char* output);

/* The library's version, "MAJOR.MINOR.PATCH"; static text, never freed. */
ZUK_API const char* zuk_version(void);

/* What a result code means, in one line of English; static text. Codes the
 * library does not define read as passed on from a sibling library when
 * negative, and as success otherwise. */
ZUK_API const char* zuk_result_text(int32_t code);

/*
 * Writes the sound of `input` to `output` as the standard WAV. Returns the
 * successful back end's result (ZUK_OK, or ZUK_OK_UNPADDED), or a failure:
 * ZUK_E_EXTRACT when nothing could extract it, the failing back end's code on
 * a route with only one back end, ZUK_E_WRITE when the output cannot be
 * written, ZUK_E_OPEN for a null location.
 */
ZUK_API int32_t Extract(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

/* Extract for managed hosts, which set up COM themselves where there is one. */
ZUK_API int32_t Extract_DotNet(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

/* ---- Decoding any media file ----------------------------------------------
 *
 * The library's own decoder: the audio of any file FFmpeg reads (MOV, MP4,
 * MKV, WebM, AVI, MPEG, FLAC, Ogg, MP3, ...), resampled to 48000 Hz: every
 * frame the decoder delivers, filled with silence to the stream's stated
 * duration when it delivers less, then padded with silence to a whole number
 * of frames of the file's video. A non-zero `managed` says that the
 * host sets up COM itself. `progress` is called once per 102400 frames.
 * Returns ZUK_OK; ZUK_OK_UNPADDED when the file has no video frame rate (no
 * padding); ZUK_E_UNSUPPORTED when the file cannot be opened or decoded, also
 * when decoding fails part way (what was written stays in the output);
 * ZUK_E_NO_SAMPLES when the decoder delivered nothing; ZUK_E_WRITE when the
 * output cannot be opened or any write (silence included) is short, as on a
 * full disk.
 */
/* Writes the channel mix (the truncated mean of all channels) as a mono WAV. */
ZUK_API int32_t Dsax_Extraction(
    const zuk_char* input, const zuk_char* output, uint8_t managed, ProgressCallback progress);
/* Writes the first two channels (a mono source twice) as a stereo WAV. */
ZUK_API int32_t Dsax_ExtractionStereo(
    const zuk_char* input, const zuk_char* output, uint8_t managed, ProgressCallback progress);

/* What zuk_media_streams tells of one stream. */
enum zuk_stream_type { ZUK_STREAM_AUDIO = 1, ZUK_STREAM_VIDEO = 2 };
typedef struct zuk_stream {
    int32_t index;            /* in the container */
    int32_t type;             /* ZUK_STREAM_AUDIO or ZUK_STREAM_VIDEO */
    char codec_name[64];      /* FFmpeg's short name ("aac", "mpeg4"), cut to fit */
    int64_t duration_us;      /* as the container gives it; 0 unknown */
    int32_t sample_rate;      /* audio: Hz */
    int32_t channels;         /* audio */
    char channel_layout[256]; /* audio: FFmpeg's name ("stereo"), "" unknown, cut to fit */
    int32_t width, height;    /* video: pixels */
    double frame_rate;        /* video: average frames per second; 0 unknown */
} zuk_stream;

/*
 * The audio and video streams of `path` in container order, as FFmpeg reads
 * them (other streams are left out). Fills at most `capacity` entries of
 * `streams` (may be null) and returns how many there are, which may be more;
 * ZUK_E_OPEN when the path names no file or FFmpeg cannot open it.
 */
ZUK_API int32_t zuk_media_streams(const zuk_char* path, zuk_stream* streams, int32_t capacity);

/* ---- Hand-built media graphs ---------------------------------------------
 *
 * Each builds one graph, runs or tests it and tears it down within the call,
 * and returns an HRESULT: negative is failure (the failing step's code), 0
 * success. A non-zero `managed` says that the host sets up COM itself.
 */

/* The published text of an HRESULT such as these return, or "n/a" for one it
 * does not know; static text. Where two texts share a value, both are given,
 * joined by " & ". */
ZUK_API const char* zuk_hresult_text(int32_t hr);

/* Whether `file` is an AC-3 elementary stream. `*found` is set to 1 only when
 * it is; a file that is not gives a negative result with `*found` 0, so read
 * `*found`, not only the result. */
ZUK_API int32_t isAC3(const zuk_char* file, int32_t managed, uint8_t* found);

/* Writes the first audio stream of `input`, decoded to PCM, as the only stream
 * of the AVI file `output`. A decode that fails part way returns its code. */
ZUK_API int32_t DecodeToAVIWrapper(const zuk_char* input, const zuk_char* output, int32_t managed);

/* Writes the AVI `output` with the first stream of the AVI `input` (normally
 * its video) and the sound of `audio`, read by libsndfilewrapper.so; the other
 * streams of `input`, its audio among them, are left out. REGDB_E_CLASSNOTREG
 * (0x80040154) when libsndfilewrapper.so is not beside libzuk.so. */
ZUK_API int32_t ReplaceAudioAvi(const zuk_char* input, const zuk_char* audio, const zuk_char* output, int32_t managed);

/* ---- Camcorder transport streams ---------------------------------------------
 *
 * The audio of a transport stream (188-byte packets; with `avchd` set, whose
 * low byte only counts, 192-byte BDAV units) is found through its program
 * tables, or else by its packets, and lifted into `output`+".mp2" (whatever it
 * carries: MPEG audio, AC-3, AAC), by way of the PES file `output`+".mp2.m2v".
 * Both stay on disk whatever the result.
 */

/*
 * Then the QuickTime back end (never for BDAV), the library's decoder, and at
 * last the decoder again on `output`+".avi", when DecodeToAVIWrapper could
 * make it of the ".mp2" file, write the standard WAV at `output`. Each of
 * these files is cleared before the step that writes it. Returns the first
 * success, or the result of the last decoder attempt; before that,
 * ZUK_E_OPEN when the output or an intermediate is the input itself,
 * ZUK_E_EXTRACT when the input cannot be opened, ZUK_E_PES_FILE when the PES
 * file cannot be created, ZUK_E_WRITE when an intermediate file cannot be
 * written, ZUK_E_OPEN when the PES file holds no PES packets it can walk or
 * reading the input fails before its end. Bytes that are no part of a packet
 * are stepped over to the next sync byte or start code.
 */
ZUK_API int32_t MTSExtract(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd);

/* The same lifting out, then the QuickTime back end (never for BDAV), the
 * decoder and the Media Foundation back end. ZUK_OK; ZUK_E_OPEN for any
 * failure of the lifting out; ZUK_E_EXTRACT when no back end succeeds. */
ZUK_API int32_t MTSExtract2(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t managed, int32_t avchd);

/*
 * The lifting out alone: writes the audio of `input` (with `bdav` not 0,
 * 192-byte BDAV units) to `output` (whatever it carries), by way of the PES
 * file `output`+".m2v"; neither is cleared first, and both stay. Logs
 * through the log sink. Returns ZUK_OK; ZUK_E_OPEN when a path names no
 * file, the input is no regular file, a file to be written is the input, no
 * packet starts audio, the PES file holds no PES packets it can walk, or
 * reading fails before the end; ZUK_E_EXTRACT when the input cannot be
 * opened; ZUK_E_PES_FILE when the PES file cannot be created; ZUK_E_WRITE
 * when a write fails.
 */
ZUK_API int32_t zuk_ts_audio(const zuk_char* input, const zuk_char* output, int32_t bdav);

/* ---- Optional back ends -----------------------------------------------------
 *
 * Each is a separate library, loaded by name for one call and unloaded before
 * the call returns: libQTMLClient.so (whether QuickTime is installed),
 * libdornalt.so (QuickTime extraction), libvostrin.so (Media Foundation
 * extraction), liblurrow.so (R3D audio). They are searched in the folder that
 * holds libzuk.so, then where the system's loader looks (LD_LIBRARY_PATH, the
 * loader's cache). A library or entry point that is missing gives ZUK_E_OPEN.
 */

/* ZUK_OK when QuickTime is installed, ZUK_E_OPEN when not. */
ZUK_API int32_t QuickTime_Installed(void);

/* Extraction by the QuickTime back end; its own result otherwise (ZUK_E_WRITE: the output cannot be written). */
ZUK_API int32_t Qtax_Extraction(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

/* Passes three values to the QuickTime back end's ReplaceAudioMov and returns its result. */
ZUK_API int32_t ReplaceAudioMov(int32_t first, int32_t second, int32_t third);

/*
 * Extraction by the Media Foundation back end: it decodes `input` to
 * `input`+"temp1", which is resampled to the standard WAV `input`+"temp2"
 * (both stay on disk), which is padded with silence to a whole number of video
 * frames at `output` (not padded when the back end gives no frame rate).
 * Returns ZUK_OK; ZUK_E_UNSUPPORTED on a system older than 6.1; ZUK_E_EXTRACT
 * for an input libsndfile reads (this back end is for containers); ZUK_E_OPEN
 * when the library or an entry point is missing, or a file it writes is the
 * input itself; the back end's own negative result, ZUK_E_EXTRACT for a
 * positive one (only 0 is its success); or the failure of the resampling or
 * padding step.
 */
ZUK_API int32_t mfax_extract_wrapper(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

/*
 * Extraction by the R3D back end, which takes the input name as multibyte text
 * of the process's C locale. ZUK_E_EXTRACT when the name has no such form
 * (under the "C" locale, any non-ASCII letter); else the back end's result.
 */
ZUK_API int32_t R3DResample(const zuk_char* input, const zuk_char* output, ProgressCallback progress);

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
ZUK_API int32_t resampleAudioWithRate(
    const zuk_char* input, const zuk_char* output, ProgressCallback progress, int32_t outputRate);

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
 * 16-bit PCM WAV. Between integer PCM formats samples are copied exactly,
 * or, to fewer bits, rounded to the nearest value (clamped at full scale);
 * otherwise they move through libsndfile's normalised doubles.
 */

/*
 * Writes the range `start`..`end` of `input` to `output`. Where the range runs
 * past the end of the input, silence fills it to its full length.
 * Returns ZUK_OK, or ZUK_E_OPEN when a file cannot be opened, `start` lies
 * beyond the input, a time is not finite, or a write fails.
 */
ZUK_API int32_t sliceAudio(const zuk_char* input, const zuk_char* output, double start, double end, int32_t force16);

/*
 * Writes `lead` seconds of silence, then the range `start`..`end` of `input`,
 * then silence until the output is `total` seconds long (the lead counts
 * toward the total; nothing is cut when the output is already longer).
 * Results as sliceAudio.
 */
ZUK_API int32_t sliceAudioWithPadding(const zuk_char* input, double lead, const zuk_char* output, double start,
    double end, double total, int32_t force16);

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

/*
 * Creates `path` for writing as every writer of the library makes its WAVs:
 * 16-bit PCM at `rate` and `channels`, as RF64 (the WAV with 64-bit sizes)
 * when about `frames` frames would not fit a plain WAV. The handle is the
 * caller's: write it with libsndfile (the library's) and close it with
 * zuk_close_wav. Null when it cannot be created; sf_strerror(NULL) then
 * tells why.
 */
ZUK_API SNDFILE* zuk_create_wav(const zuk_char* path, int32_t rate, int32_t channels, int64_t frames);

/* Closes a handle of zuk_create_wav (null does nothing): ZUK_OK when its
 * header was written and its sizes fit it, else ZUK_E_WRITE. */
ZUK_API int32_t zuk_close_wav(SNDFILE* file);

/* ---- Frame rates ---------------------------------------------------------- */

/*
 * Snaps a measured video frame rate to its nominal value: the nearest whole
 * rate (25.0), or that rate times 1000/1001 when the measurement lies closer
 * to it (29.97 gives 29.97002997...).
 */
ZUK_API double FixFrameRate(double framesPerSecond);

/* ---- Host paths --------------------------------------------------------------
 *
 * The conversions every function here applies to the paths it is given, for
 * hosts that hold Linux file names as bytes. Each writes its result with a
 * NUL into `buffer` (`capacity` units, the NUL included) only when it fits,
 * and returns its length without the NUL either way, so that a host may ask
 * with a null buffer first. Nothing is allocated for the caller.
 */

/* The wide form of the file name `path` (bytes, NUL-terminated): UTF-8
 * decoded, any other byte escaped as U+DC00 + byte. Never more units than
 * `path` has bytes. ZUK_E_OPEN for a null `path`. */
ZUK_API int64_t zuk_wide_from_path(const char* path, zuk_char* buffer, size_t capacity);

/* The file name (bytes) that the wide path `wide` names, escaped bytes
 * restored. At most three bytes per unit. ZUK_E_OPEN when `wide` is null or
 * empty or holds any other lone surrogate: such text names no file. */
ZUK_API int64_t zuk_path_from_wide(const zuk_char* wide, char* buffer, size_t capacity);

/* The local path that the location `location` names: a file:// URL becomes
 * its path, escapes decoded; anything else stays as given. Never longer than
 * `location`. ZUK_E_OPEN for a null `location`. */
ZUK_API int64_t zuk_normalise_location(const zuk_char* location, zuk_char* buffer, size_t capacity);

/*
 * Whether a call reading `input` and writing `output` (null: nothing) may go
 * ahead: ZUK_OK, or ZUK_E_OPEN when every function here would refuse it
 * before opening anything, as `input` exists but is no regular file, or
 * `output` is `input` under any name. The reason then goes to `cause` as one
 * line of English without a newline, cut to `capacity` bytes with its NUL
 * ("" when none); nothing is logged. Names of no file, or of no file yet,
 * are left to the call. ZUK_E_OPEN with no reason for a null `input`.
 */
ZUK_API int32_t zuk_check_files(const zuk_char* input, const zuk_char* output, char* cause, size_t capacity);

#ifdef __cplusplus
}
#endif

#endif
