"""A Python host of the installed library, through ctypes: extracts the sound
of INPUT into OUTPUT and says which version did it."""
import ctypes
import sys


def wide(text):
    """The path as the NUL-terminated UTF-16 text the library takes."""
    units = text.encode("utf-16-le") + b"\0\0"
    return ctypes.create_string_buffer(units, len(units))


def main(library, source, target):
    zuk = ctypes.CDLL(library)
    zuk.zuk_version.restype = ctypes.c_char_p
    zuk.Extract.restype = ctypes.c_int32
    zuk.Extract.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_void_p]
    result = zuk.Extract(wide(source), wide(target), None)
    print(f"zuk {zuk.zuk_version().decode()}: Extract gives {result}")
    return 0 if result >= 0 else 1


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: consumer.py LIBRARY INPUT OUTPUT")
    sys.exit(main(*sys.argv[1:]))
