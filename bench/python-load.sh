#!/usr/bin/env bash
# Times loading the whole sound of a long AAC MP4 into a numpy array (mono,
# 16-bit, 48 kHz) from Python: zuk.load beside the ffmpeg command line piped
# into numpy.frombuffer, and beside PyAV when Debian's python3-av is there.
# Each runs as its own Python process; peak memory is GNU time's maximum
# resident set of that process or of its largest child (ffmpeg's pipe).
# usage: bench/python-load.sh [BUILD_DIR] [MINUTES] [INPUT]
#   (default: build/release, 60, a generated MINUTES-minute stereo 44.1 kHz AAC MP4)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
input=${3:-$(aac_input)}
python=/usr/bin/python3
export PYTHONPATH=$PWD/python ZUK_LIBRARY=$build/lib/libzuk.so.0 PYTHONDONTWRITEBYTECODE=1
[[ -f $ZUK_LIBRARY ]] || { echo "$ZUK_LIBRARY not found: build the project first" >&2; exit 2; }
cat "$input" >/dev/null

measure "zuk.load" "$python" -c 'import sys, zuk; zuk.load(sys.argv[1])' "$input"
measure "ffmpeg pipe" "$python" -c '
import subprocess, sys, numpy
raw = subprocess.run(["ffmpeg", "-v", "error", "-i", sys.argv[1], "-f", "s16le", "-ac", "1",
                      "-ar", "48000", "-"], stdout=subprocess.PIPE, check=True).stdout
numpy.frombuffer(raw, numpy.int16)' "$input"
tools=("zuk.load" "ffmpeg pipe")
if "$python" -c 'import av' 2>/dev/null; then
    measure "PyAV" "$python" -c '
import sys, av, numpy
with av.open(sys.argv[1]) as media:
    resampler = av.AudioResampler(format="s16", layout="mono", rate=48000)
    blocks = [f.to_ndarray() for frame in media.decode(audio=0) for f in resampler.resample(frame)]
    blocks += [f.to_ndarray() for f in resampler.resample(None)]
numpy.concatenate(blocks, axis=1).reshape(-1)' "$input"
    tools+=("PyAV")
fi

print_best "loading $(basename "$input") into a mono 16-bit 48 kHz numpy array, best of $runs" tool "${tools[@]}"
for name in "${tools[@]:1}"; do
    awk -v n="$name" -v t="${best[zuk.load]}" -v o="${best[$name]}" -v m="$(peak_mb zuk.load)" \
        -v om="$(peak_mb "$name")" 'BEGIN {
        if (o < 0.01) o = 0.01
        printf "zuk.load takes %.2f× the time of %s and %.2f× its peak memory\n", t / o, n, m / om }'
done
# The array itself: two bytes a frame of the input's duration at 48 kHz.
seconds=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$input")
awk -v s="$seconds" -v m="$(peak_mb zuk.load)" 'BEGIN {
    a = s * 48000 * 2 / 1048576
    printf "zuk.load peaks at %.2f× the array it returns (%.1f MB)\n", m / a, a }'
