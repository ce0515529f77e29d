"""The sound of any media file, through libzuk: numpy arrays from its
streaming reader, and its file operations (extract, resample, slice...).

    samples, rate = zuk.load("clip.mp4")            # int16, mono, 48000 Hz
    with zuk.Reader("clip.mkv") as sound:
        sound.seek(seconds=2.5)
        block = sound.read(4800, stereo=True, dtype="float32")
    zuk.extract("clip.mov", "clip.wav", progress=print)
    records = zuk.extract_many(["a.mov", "b.mkv"], outdir="wav")

Paths are str, bytes or os.PathLike. Failures raise ZukError.
"""
import collections
import contextlib
import ctypes
import os
import signal
import threading
import time

import numpy

from ._library import (BATCH_CALLBACK, BATCH_DONE, PROGRESS, BatchOptions,
                       ReaderInfo, library, wide)

__all__ = ["ZukError", "Info", "Reader", "load", "version", "extract",
           "extract_many", "BatchProgress", "resample", "convert", "slice",
           "mts_extract", "ts_audio", "mp4_unwrap", "wrap_avi",
           "replace_audio"]

RATE = 48000
# Reads are sized by the length the file states, which they may pass a little.
_SLACK_FRAMES = RATE
# Frames asked of the library in one call: a second of sound.
_STEP_FRAMES = RATE
_WHENCE = {"start": 0, "current": 1, "end": 2, 0: 0, 1: 1, 2: 2}


class ZukError(Exception):
    """A failure of the library: `code` is its negative result, `text` why."""

    def __init__(self, code, text):
        super().__init__(f"{text} ({code})")
        self.code, self.text = code, text


def _decoded(raw):
    return raw.decode("utf-8", "replace") if raw else ""


def version():
    """The library's version, "MAJOR.MINOR.PATCH"."""
    return _decoded(library().zuk_version())


class _Progress:
    """The callable as a C callback. An exception cannot cross the C frames,
    so the first one is kept (later calls are then skipped, and answer
    `_AFTER_ERROR`) and raised once the call returns."""
    _AFTER_ERROR = 0

    def __init__(self, callable_):
        self.callable, self.error = callable_, None
        self.pointer = PROGRESS(self._call) if callable_ else PROGRESS()

    def _call(self, *event):
        if self.error is None:
            try:
                return self._deliver(*event)
            except BaseException as error:  # raised after the call
                self.error = error
        return self._AFTER_ERROR

    def _deliver(self, percent):
        self.callable(percent)
        return 0

    def raise_kept(self):
        if self.error is not None:
            error, self.error = self.error, None
            raise error


def _checked(code, describe="zuk_result_text"):
    if code < 0:
        raise ZukError(code, _decoded(getattr(library(), describe)(code)))
    return code


def _bytes_path(path):
    """A path as the reader and batch.h take it: its bytes, NUL-terminated."""
    name = os.fsencode(path)
    if b"\0" in name:
        raise ValueError("embedded null byte in the path")
    return name


def _run(name, *args, describe="zuk_result_text"):
    return _checked(getattr(library(), name)(*args), describe)


def _run_reporting(name, src, dst, progress, *rest):
    """Calls a file operation that reports progress after its two paths."""
    callback = _Progress(progress)
    code = getattr(library(), name)(wide(src), wide(dst), callback.pointer,
                                    *rest)
    callback.raise_kept()
    return _checked(code)


def extract(src, dst, progress=None):
    """Writes the sound of any media file as the standard WAV (mono, 16-bit,
    48000 Hz). Returns 0, or 2 when no video frame rate padded it."""
    return _run_reporting("Extract", src, dst, progress)


def resample(src, dst, rate=RATE, progress=None):
    """Converts a sound file to a mono 16-bit WAV at `rate` Hz."""
    return _run_reporting("resampleAudioWithRate", src, dst, progress,
                          int(rate))


def convert(src, dst, rate):
    """As resample, with the rate truncated to whole Hz and no progress."""
    return _run("ConvertToWav", wide(src), wide(dst), float(rate))


def slice(src, dst, start, end, lead=None, total=None, pcm16=False):
    """Writes seconds `start` to `end` of a sound file to `dst`, after `lead`
    seconds of silence and with silence after it up to `total` seconds."""
    if lead is None and total is None:
        return _run("sliceAudio", wide(src), wide(dst), start, end,
                    int(pcm16))
    lead = lead or 0.0
    total = lead + (end - start) if total is None else total
    return _run("sliceAudioWithPadding", wide(src), lead, wide(dst), start,
                end, total, int(pcm16))


def mts_extract(src, dst, avchd=False, progress=None):
    """The standard WAV of a camcorder transport stream (188-byte packets,
    or with `avchd` 192-byte BDAV units)."""
    return _run_reporting("MTSExtract", src, dst, progress, 0, int(avchd))


def ts_audio(src, dst, bdav=False):
    """Lifts the audio stream of a transport stream out, undecoded."""
    return _run("zuk_ts_audio", wide(src), wide(dst), int(bdav))


def mp4_unwrap(src, dst):
    """Copies the uncompressed sound of an MP4 or QuickTime file to a WAV."""
    return _run("zuk_mp4_unwrap", wide(src), wide(dst))


def wrap_avi(src, dst):
    """Writes the decoded sound of a media file as an AVI."""
    return _run("DecodeToAVIWrapper", wide(src), wide(dst), 0,
                describe="zuk_hresult_text")


def replace_audio(video, audio, dst):
    """Writes the AVI `dst`: `video`'s first stream with `audio`'s sound."""
    return _run("ReplaceAudioAvi", wide(video), wide(audio), wide(dst), 0,
                describe="zuk_hresult_text")


BatchProgress = collections.namedtuple(
    "BatchProgress",
    "files_done files_total files_failed audio_seconds elapsed_seconds")
BatchProgress.__doc__ = """How far a batch is: inputs finished (failed or
skipped included) of all, those that failed, the seconds of sound written
and the seconds since it began."""

_UNFINISHED = "the batch stopped before this input was done"


def _record(source, output, result, skipped=False, audio=0.0, wall=0.0):
    """What the command line's --report writes of one input; `result` None
    for an input that the batch stopped before."""
    described = _UNFINISHED if result is None else _decoded(
        library().zuk_result_text(result))
    return {"input": os.fsdecode(source), "output": os.fsdecode(output),
            "result": result, "result_text": described,
            "skipped": bool(skipped), "audio_seconds": audio,
            "wall_seconds": wall}


class _Batch(_Progress):
    """The callback of one zuk_extract_batch: keeps each input's record as it
    finishes, tells `progress` how far the batch is, and stops the batch
    when it answers true, raises, or Ctrl-C is pressed."""
    _AFTER_ERROR = 1

    def __init__(self, progress, count):
        super().__init__(progress)
        self.pointer = BATCH_CALLBACK(self._call)
        self.records = [None] * count

    def _deliver(self, event, _user):
        event = event.contents
        if event.kind == BATCH_DONE:
            self.records[event.index] = _record(
                event.input, event.output, event.result, event.skipped,
                event.file_audio_seconds, event.file_wall_seconds)
        return int(bool(self.callable and self.callable(BatchProgress(
            event.files_done, event.files_total, event.files_failed,
            event.audio_seconds, event.elapsed_seconds))))

    def interrupt(self, *_):
        self.error = self.error or KeyboardInterrupt()

    @contextlib.contextmanager
    def interruptible(self):
        """Python raises Ctrl-C's KeyboardInterrupt where it next runs Python
        code, which during a batch is the start of a callback, before any
        handler there: ctypes would print it and go on. So while the batch
        runs, Ctrl-C is only noted, as the callback's error: the next
        callback stops the batch and the call raises it once it returns."""
        if (threading.current_thread() is not threading.main_thread()
                or signal.getsignal(signal.SIGINT)
                is not signal.default_int_handler):
            yield
            return
        signal.signal(signal.SIGINT, self.interrupt)
        try:
            yield
        finally:
            signal.signal(signal.SIGINT, signal.default_int_handler)


def _paths(names):
    return (ctypes.c_char_p * len(names))(*names)


def _output_name(array, index, folder):
    capacity = 4096
    while True:
        buffer = ctypes.create_string_buffer(capacity)
        length = _checked(library().zuk_batch_output_name(
            array, len(array), folder, index, buffer, capacity))
        if length < capacity:
            return buffer.raw[:length]
        capacity = length + 1


def _output_names(sources, outdir):
    """The names zuk_extract_batch gives `sources` under `outdir`."""
    array, folder = _paths(sources), _bytes_path(outdir)
    return [_output_name(array, index, folder)
            for index in range(len(sources))]


def _extract_here(sources, outputs, outdir, jobs, force, progress):
    """One zuk_extract_batch in this process: the records, in order."""
    batch = _Batch(progress, len(sources))
    options = BatchOptions(jobs or 0, int(force))
    with batch.interruptible():
        code = library().zuk_extract_batch(
            _paths(sources), outputs and _paths(outputs), len(sources),
            outdir and _bytes_path(outdir), ctypes.byref(options),
            batch.pointer, None)
    batch.raise_kept()
    _checked(code)
    if None in batch.records:
        outputs = outputs or _output_names(sources, outdir)
    return [record or _record(sources[index], outputs[index], None)
            for index, record in enumerate(batch.records)]


def _extract_task(source, output, jobs, force):
    """One input of a batch spread over a cluster, on a worker: a batch of
    one, so that its output appears only when complete, as in a local
    batch."""
    return _extract_here([source], [output], None, jobs, force, None)[0]


def _extract_on(client, sources, outputs, jobs, force, progress):
    """One task per input over the client's workers: the records, in
    order."""
    from distributed import as_completed
    # The workers' threads already stand for the cluster's cores.
    jobs = [1 if jobs is None else jobs] * len(sources)
    futures = client.map(_extract_task, sources, outputs, jobs,
                         [bool(force)] * len(sources), pure=False)
    places = {future.key: index for index, future in enumerate(futures)}
    records, failed, audio = [None] * len(sources), 0, 0.0
    began = time.monotonic()
    try:
        for done, future in enumerate(as_completed(futures), 1):
            record = records[places[future.key]] = future.result()
            failed += record["result"] < 0
            audio += record["audio_seconds"]
            if progress and progress(BatchProgress(
                    done, len(sources), failed, audio,
                    time.monotonic() - began)):
                break
    finally:
        client.cancel(futures)
    return [record or _record(sources[index], outputs[index], None)
            for index, record in enumerate(records)]


def extract_many(inputs, outdir=None, outputs=None, jobs=None, force=False,
                 progress=None, client=None):
    """Extracts each input as extract() does, `jobs` at once (None: one per
    core), to `outputs` or to the names it gives them under `outdir`:
    outdir/NAME.wav, NAME the input's file name without its extension,
    inputs whose names collide keeping the folders that tell them apart
    (day1/take.wav, day2/take.wav) or else their extension (take.mov.wav).

    An output appears under its name only once complete; an input whose
    output is already there and not older than it is skipped, unless
    `force`. `progress` is called a few times a second with a
    BatchProgress; answering true stops the batch, and an exception raised
    in it (or Ctrl-C) stops it and is raised again; a stopped batch leaves
    no partial output.

    With a dask.distributed `client`, each input is a task on its workers
    (whose threads then set how many files run at once; `jobs` is how many
    cores one file may decode on, None: one), the outputs named here over
    the whole list; a stop leaves the tasks already running to finish. The
    workers must see the inputs and outdir under the same paths as this
    process: a file system they share.

    Returns one dict per input, in order: input, output, result (extract's,
    None when the batch stopped before the input was done), result_text,
    skipped, audio_seconds, wall_seconds, as the command line's --report
    writes."""
    sources = [_bytes_path(source) for source in inputs]
    if (outdir is None) == (outputs is None):
        raise TypeError("extract_many takes outdir or outputs, not both "
                        "or none")
    if outputs is not None:
        outputs = [_bytes_path(output) for output in outputs]
        if len(outputs) != len(sources):
            raise ValueError("extract_many takes one output per input")
    if not sources:
        return []
    if client is None:
        return _extract_here(sources, outputs, outdir, jobs, force,
                             progress)
    return _extract_on(client, sources,
                       outputs or _output_names(sources, outdir), jobs,
                       force, progress)


Info = collections.namedtuple(
    "Info", "rate channels frames frame_rate duration")
Info.__doc__ = """What opening learnt: the rate of every read (48000), the
source's channels, its length in frames (reads may give a few more), the
video's frames per second (0 without video) and the sound's seconds."""

_READS = {"int16": "zuk_reader_read_s16", "float32": "zuk_reader_read_f32"}


class Reader:
    """The decoded sound of a media file, read in blocks at 48000 Hz: mono
    (the mean of all channels) or stereo (the first two). One thread at a
    time; use it as a context manager, or close() it."""

    def __init__(self, path):
        name, lib = _bytes_path(path), library()
        handle, reason = ctypes.c_void_p(), ctypes.create_string_buffer(1024)
        code = lib.zuk_reader_open(name, ctypes.byref(handle), reason,
                                   len(reason))
        if code < 0:
            raise ZukError(code, _decoded(reason.value)
                           or _decoded(lib.zuk_result_text(code)))
        self._handle = handle
        info = ReaderInfo()
        self._checked(lib.zuk_reader_info_of(handle, ctypes.byref(info)))
        self.info = Info(info.rate, info.channels, info.frames,
                         info.frame_rate, info.duration)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.close()

    def __del__(self):
        self.close()

    def close(self):
        """Frees the reader; closing again does nothing."""
        handle, self._handle = getattr(self, "_handle", None), None
        if handle:
            library().zuk_reader_close(handle)

    @property
    def closed(self):
        return self._handle is None

    def _open_handle(self):
        if self._handle is None:
            raise ValueError("the reader is closed")
        return self._handle

    def _checked(self, result):
        if result < 0:
            why = _decoded(library().zuk_reader_error(self._handle))
            raise ZukError(result, why or _decoded(
                library().zuk_result_text(result)))
        return result

    @property
    def position(self):
        """The frame (at 48000 Hz) the next read starts at."""
        handle = self._open_handle()
        return self._checked(library().zuk_reader_position(handle))

    def seek(self, seconds=None, frame=None, whence="start"):
        """Moves to a time or a frame, counted from "start", "current" or
        "end" (or 0, 1, 2 as os.SEEK_*); the sound's edges bound it.
        Returns the new position in frames."""
        if (seconds is None) == (frame is None):
            raise TypeError("seek takes seconds or frame, not both or none")
        if whence not in _WHENCE:
            raise ValueError(f"whence must be start, current or end, "
                             f"not {whence!r}")
        handle, lib = self._open_handle(), library()
        if frame is not None:
            moved = lib.zuk_reader_seek_frame(handle, frame, _WHENCE[whence])
        else:
            moved = lib.zuk_reader_seek_seconds(handle, seconds,
                                                _WHENCE[whence])
        return self._checked(moved)

    def read(self, frames=-1, stereo=False, dtype="int16"):
        """Up to `frames` frames (all that is left when negative), fewer only
        at the end: shape (n,) mono or (n, 2) stereo, int16 or float32 (the
        integer value / 32768)."""
        kind = numpy.dtype(dtype)
        if kind.name not in _READS:
            raise ValueError(f"dtype must be int16 or float32, not {dtype}")
        handle, channels = self._open_handle(), 2 if stereo else 1
        read_into = getattr(library(), _READS[kind.name])
        wanted = frames if frames >= 0 else float("inf")
        # Sized by what is left, so that a large request takes no more memory.
        left = max(self.info.frames - self.position, 0) + _SLACK_FRAMES
        out = numpy.empty((min(wanted, left), channels), kind)
        total = 0
        while total < wanted:
            if total == len(out):  # the sound runs past its stated length
                more = min(wanted - total, _SLACK_FRAMES)
                out = numpy.concatenate((out, numpy.empty((more, channels),
                                                          kind)))
            step = min(_STEP_FRAMES, len(out) - total)
            got = self._checked(read_into(
                handle, out.ctypes.data + total * out.strides[0], step,
                channels))
            total += got
            if got < step:
                break
        return out[:total] if stereo else out[:total, 0]

    def blocks(self, frames=RATE, stereo=False, dtype="int16"):
        """Reads on in blocks of `frames` frames (the last may be shorter)."""
        while True:
            block = self.read(frames, stereo, dtype)
            if len(block):
                yield block
            if len(block) < frames:
                return

    def __iter__(self):
        return self.blocks()


def load(path, stereo=False, dtype="int16"):
    """The whole sound of a media file and its rate: (array, 48000)."""
    with Reader(path) as sound:
        return sound.read(stereo=stereo, dtype=dtype), RATE
