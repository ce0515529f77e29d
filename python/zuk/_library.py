"""Finding libzuk and declaring the entry points this package calls."""
import ctypes
import ctypes.util
import os
import pathlib

i32, i64, f64 = ctypes.c_int32, ctypes.c_int64, ctypes.c_double
text, void_p, size = ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t
texts = ctypes.POINTER(text)
PROGRESS = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_float)


class ReaderInfo(ctypes.Structure):
    _fields_ = [("rate", i32), ("channels", i32), ("frames", i64),
                ("frame_rate", f64), ("duration", f64)]


class BatchOptions(ctypes.Structure):
    _fields_ = [("jobs", i32), ("force", i32)]


BATCH_DONE = 1


class BatchEvent(ctypes.Structure):
    _fields_ = [("kind", i32), ("files_done", size), ("files_total", size),
                ("files_failed", size), ("audio_seconds", f64),
                ("elapsed_seconds", f64), ("index", size), ("input", text),
                ("output", text), ("result", i32), ("skipped", i32),
                ("file_audio_seconds", f64), ("file_wall_seconds", f64)]


BATCH_CALLBACK = ctypes.CFUNCTYPE(i32, ctypes.POINTER(BatchEvent), void_p)


# name: (result type, argument types). Paths to zuk.h's functions are UTF-16
# bytes, passed as char pointers; the reader takes its handle as void*, and
# the reader and batch.h take UTF-8 (or any bytes) paths.
_SIGNATURES = {
    "zuk_version": (text, []),
    "zuk_result_text": (text, [i32]),
    "zuk_hresult_text": (text, [i32]),
    "Extract": (i32, [text, text, PROGRESS]),
    "resampleAudioWithRate": (i32, [text, text, PROGRESS, i32]),
    "ConvertToWav": (i32, [text, text, ctypes.c_float]),
    "sliceAudio": (i32, [text, text, f64, f64, i32]),
    "sliceAudioWithPadding": (i32, [text, f64, text, f64, f64, f64, i32]),
    "MTSExtract": (i32, [text, text, PROGRESS, i32, i32]),
    "zuk_ts_audio": (i32, [text, text, i32]),
    "zuk_mp4_unwrap": (i32, [text, text]),
    "DecodeToAVIWrapper": (i32, [text, text, i32]),
    "ReplaceAudioAvi": (i32, [text, text, text, i32]),
    "zuk_reader_open": (i32, [text, ctypes.POINTER(void_p), text,
                              ctypes.c_size_t]),
    "zuk_reader_info_of": (i32, [void_p, ctypes.POINTER(ReaderInfo)]),
    "zuk_reader_read_s16": (i64, [void_p, void_p, i64, i32]),
    "zuk_reader_read_f32": (i64, [void_p, void_p, i64, i32]),
    "zuk_reader_seek_frame": (i64, [void_p, i64, i32]),
    "zuk_reader_seek_seconds": (i64, [void_p, f64, i32]),
    "zuk_reader_position": (i64, [void_p]),
    "zuk_reader_error": (text, [void_p]),
    "zuk_reader_close": (None, [void_p]),
    "zuk_batch_output_name": (i64, [texts, size, text, size, text, size]),
    "zuk_extract_batch": (i64, [texts, texts, size, text,
                                ctypes.POINTER(BatchOptions), BATCH_CALLBACK,
                                void_p]),
}

_loaded = None


def _open():
    """$ZUK_LIBRARY, else a copy beside this package, else the loader's."""
    named = os.environ.get("ZUK_LIBRARY")
    if named:
        return ctypes.CDLL(named)
    beside = sorted(pathlib.Path(__file__).parent.glob("libzuk.so*"))
    if beside:
        return ctypes.CDLL(str(beside[0]))
    try:
        return ctypes.CDLL("libzuk.so.0")
    except OSError:
        found = ctypes.util.find_library("zuk")
        if found is None:
            raise OSError("libzuk not found: install it, or set ZUK_LIBRARY"
                          " to its path") from None
        return ctypes.CDLL(found)


def library():
    """The loaded library, its entry points declared; loaded on first use
    so that importing the package never fails."""
    global _loaded
    if _loaded is None:
        lib = _open()
        for name, (restype, argtypes) in _SIGNATURES.items():
            function = getattr(lib, name)
            function.restype, function.argtypes = restype, argtypes
        _loaded = lib
    return _loaded


def wide(path):
    """A path as zuk.h takes it: NUL-terminated UTF-16, each byte that is no
    UTF-8 as the lone surrogate U+DC00 + byte, as surrogateescape makes it."""
    name = os.fsdecode(path)
    if "\0" in name:
        raise ValueError("embedded null byte in the path")
    return name.encode("utf-16-le", "surrogatepass") + b"\0\0"
