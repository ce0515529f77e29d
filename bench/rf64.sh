#!/usr/bin/env bash
# Writes WAVs past 4 GiB through the library's writers and checks that each
# is RF64 whose length ffprobe and libsndfile read whole, and that a short output
# stays a plain WAV:
#   - `zuk slice --pcm16` of a one-second input, padded with silence to 12.75 h
#     (mono 16-bit 48 kHz, 4.4 GB);
#   - `zuk resample` of that output (the standard WAV, 12.75 h);
#   - `zuk mp4-unwrap` of a six-channel 16-bit track of 2.14 h (4.4 GB), one
#     chunk over a sparse media data box.
# Needs about 9 GB free beside TMPDIR at its peak; everything it makes is
# removed on exit.
# usage: bench/rf64.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail

build=${1:-build/release}
zuk=$build/bin/zuk
[[ -x $zuk ]] || { echo "$zuk not found: build the project first" >&2; exit 2; }
for tool in ffmpeg ffprobe python3 /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
scratch=$(mktemp -d "${TMPDIR:-/tmp}/zuk-rf64.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# The frames libsndfile reads in FILE.
sndfile_frames() {
    python3 - "$1" <<'PY'
import ctypes, sys
class Info(ctypes.Structure):
    _fields_ = [("frames", ctypes.c_int64), ("samplerate", ctypes.c_int), ("channels", ctypes.c_int),
                ("format", ctypes.c_int), ("sections", ctypes.c_int), ("seekable", ctypes.c_int)]
sndfile = ctypes.CDLL("libsndfile.so.1")
sndfile.sf_open.restype = ctypes.c_void_p
info = Info()
handle = sndfile.sf_open(sys.argv[1].encode(), 0x10, ctypes.byref(info))
print(info.frames if handle else "unreadable")
PY
}

# check FILE MAGIC FRAMES: the file starts with MAGIC and both readers count FRAMES.
check() {
    local file=$1 magic=$2 frames=$3 head probed counted
    head=$(head -c 4 "$file")
    probed=$(ffprobe -v error -show_entries stream=duration_ts -of csv=p=0 "$file")
    counted=$(sndfile_frames "$file")
    printf '%-14s %-5s %12s frames (ffprobe) %12s (libsndfile)  %6.2f GB\n' "$(basename "$file")" "$head" "$probed" \
        "$counted" "$(awk -v b="$(stat -c %s "$file")" 'BEGIN { print b / 1e9 }')"
    if [[ $head != "$magic" || $probed != "$frames" || $counted != "$frames" ]]; then
        echo "$file: expected $magic with $frames frames" >&2; exit 1
    fi
}

# run NAME COMMAND...: runs and times COMMAND; a failure ends the script.
run() {
    local name=$1
    shift
    /usr/bin/time -f "$name: %e s, %M kB peak" "$@" --quiet
}

ffmpeg -nostdin -loglevel error -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1" \
    -c:a pcm_s16le "$scratch/second.wav"

run "slice, 1 min" "$zuk" slice "$scratch/second.wav" "$scratch/short.wav" --start 0 --end 60 --pcm16
check "$scratch/short.wav" RIFF 2880000
run "slice, 12.75 h" "$zuk" slice "$scratch/second.wav" "$scratch/slice.wav" --start 0 --end 45900 --pcm16
check "$scratch/slice.wav" RF64 2203200000
run "resample, 12.75 h" "$zuk" resample "$scratch/slice.wav" "$scratch/resampled.wav"
check "$scratch/resampled.wav" RF64 2203200000
rm "$scratch/slice.wav" "$scratch/resampled.wav"

# An MP4 laid out as ftyp, movie, media data: one chunk of six-channel
# big-endian 16-bit samples right behind the media data's header, the rest of
# the file a hole that reads as silence.
python3 - "$scratch/six.mp4" <<'PY'
import os, struct, sys
frames, channels = 370_000_000, 6
def box(code, payload): return struct.pack(">I", 8 + len(payload)) + code + payload
def full(code, payload): return box(code, b"\0\0\0\0" + payload)
entry = box(b"twos", bytes(6) + struct.pack(">H", 1) + bytes(8) + struct.pack(">HH", channels, 16)
            + bytes(4) + struct.pack(">I", 48000 << 16))
def moov(offset):
    stbl = box(b"stbl", full(b"stsd", struct.pack(">I", 1) + entry)
               + full(b"stts", struct.pack(">III", 1, frames, 1))
               + full(b"stsc", struct.pack(">IIII", 1, 1, frames, 1))
               + full(b"stsz", struct.pack(">II", 2 * channels, frames))
               + full(b"stco", struct.pack(">II", 1, offset)))
    minf = box(b"minf", full(b"smhd", bytes(4)) + box(b"dinf", full(b"dref", struct.pack(">I", 1)
               + box(b"url ", b"\0\0\0\1"))) + stbl)
    mdia = box(b"mdia", full(b"mdhd", bytes(20)) + full(b"hdlr", bytes(4) + b"soun" + bytes(12) + b"Sound") + minf)
    return box(b"moov", full(b"mvhd", bytes(96)) + box(b"trak", full(b"tkhd", bytes(80)) + mdia))
ftyp = box(b"ftyp", b"qt  " + bytes(4) + b"qt  ")
offset = len(ftyp) + len(moov(0)) + 16
data = frames * channels * 2
with open(sys.argv[1], "wb") as out:
    out.write(ftyp + moov(offset) + struct.pack(">I", 1) + b"mdat" + struct.pack(">Q", 16 + data))
    out.truncate(offset + data)
PY
run "mp4-unwrap, 6 ch 2.14 h" "$zuk" mp4-unwrap "$scratch/six.mp4" "$scratch/six.wav"
check "$scratch/six.wav" RF64 370000000
