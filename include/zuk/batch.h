/*
 * zuk/batch.h: many files at once, and how many cores one long file uses.
 *
 * A batch extracts each input as Extract does, on several worker threads of
 * the calling process. An output appears under its final name only when it
 * is complete: it is written to a temporary name beside it and renamed. A
 * batch that is stopped (its callback returns nonzero) or fails leaves no
 * partial file under a final name and removes its temporaries; run again, it
 * skips the outputs already complete.
 *
 * Paths here are UTF-8 (or any bytes: Linux names are bytes). Nothing here
 * throws or aborts.
 */
#ifndef ZUK_BATCH_H
#define ZUK_BATCH_H

#include <zuk/zuk.h>

#ifdef __cplusplus
extern "C" {
#endif

/*
 * How many threads one extraction of a long file may decode on, for every
 * extraction started from now on in this process: 0 (the default) means the
 * number of cores; 1 never splits a file. A long file is cut into pieces at
 * fixed times, whatever the count, so the output never depends on it; the
 * exported extraction functions split only where the joined output equals
 * the one-piece output byte for byte.
 */
ZUK_API void zuk_set_extract_threads(int32_t threads);

typedef struct zuk_batch_options {
    int32_t jobs;  /* files extracted at once; 0: the number of cores */
    int32_t force; /* nonzero: extract again over outputs already complete */
} zuk_batch_options;

/* What a batch callback is told. */
enum zuk_batch_event_kind {
    ZUK_BATCH_PROGRESS = 0, /* a few times a second while files are extracted */
    ZUK_BATCH_DONE = 1      /* one input has finished (or was skipped) */
};

typedef struct zuk_batch_event {
    int32_t kind; /* a zuk_batch_event_kind */
    /* The batch so far. */
    size_t files_done; /* finished, failed or skipped */
    size_t files_total;
    size_t files_failed;
    double audio_seconds;   /* of sound written so far, unfinished files included */
    double elapsed_seconds; /* since the batch began */
    /* ZUK_BATCH_DONE only; zero and null otherwise. */
    size_t index; /* of the input in the caller's array */
    const char* input;
    const char* output;        /* the final name */
    int32_t result;            /* Extract's result; ZUK_OK for a skipped input */
    int32_t skipped;           /* nonzero: a complete output was already there */
    double file_audio_seconds; /* length of the output */
    double file_wall_seconds;  /* time its extraction took */
} zuk_batch_event;

/*
 * Called on the thread that called zuk_extract_batch, never on two at once.
 * Strings live until it returns. Returning nonzero stops the batch: no new
 * input starts, running extractions give up at their next block, and their
 * temporaries are removed.
 */
typedef int32_t (*zuk_batch_callback)(const zuk_batch_event* event, void* user);

/*
 * The output name zuk_extract_batch gives input `index` of `inputs` under
 * `outdir`: outdir/<name>.wav, where <name> is the input's file name without
 * its extension. Inputs whose names would collide keep their path from the
 * deepest folder they share (outdir/day1/take.wav, outdir/day2/take.wav); if
 * that still collides, their extension too (take.mov.wav, take.mkv.wav).
 * Copies it NUL-terminated into `buffer` when it fits and returns its length
 * without the NUL; ZUK_E_OPEN for a bad argument.
 */
ZUK_API int64_t zuk_batch_output_name(
    const char* const* inputs, size_t count, const char* outdir, size_t index, char* buffer, size_t capacity);

/*
 * Extracts `count` inputs. `outputs` names each output; when null, outputs
 * are named by zuk_batch_output_name under `outdir` (whose folders are made
 * as needed). `options` and `callback` may be null. Returns the number of
 * inputs that failed (0 when every result was ZUK_OK or ZUK_OK_UNPADDED, or
 * the input was skipped), or ZUK_E_OPEN for a bad argument. Inputs not
 * started because the batch was stopped count as failed.
 */
ZUK_API int64_t zuk_extract_batch(const char* const* inputs, const char* const* outputs, size_t count,
    const char* outdir, const zuk_batch_options* options, zuk_batch_callback callback, void* user);

#ifdef __cplusplus
}
#endif

#endif
