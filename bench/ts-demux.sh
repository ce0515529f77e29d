#!/usr/bin/env bash
# Times the camcorder transport-stream path on a long .m2t (MPEG-2 video,
# stereo 48 kHz MP2 sound on PID 0x44), beside the ffmpeg command line:
# - `zuk ts-audio`, the demultiplexing stage alone, beside ffmpeg copying the
#   audio stream out (`-c copy -f mp2`). Goal: at least 2× faster, memory flat.
#   And beside `dd bs=1M`, the floor for reading the file and writing as much:
#   within 2× of it.
# - `zuk extract`, end to end (the stage above, then decoding the elementary
#   stream), beside ffmpeg decoding to the same WAV. Goal: at most 1.05×.
# usage: bench/ts-demux.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }
input=$cache/transport-${minutes}min.m2t
mp2=$scratch/out.mp2

if [[ ! -f $input ]]; then
    echo "generating $minutes minutes of transport stream with stereo MP2 sound in $input ..."
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc=size=64x48:rate=25:duration=$seconds" \
        -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*(110+0.5*mod(t\,600))*t)|0.2*sin(2*PI*331*t):s=48000:d=$seconds" \
        -c:v mpeg2video -q:v 20 -c:a mp2 -b:a 192k -streamid 1:0x44 -f mpegts "$scratch/input.m2t"
    mv "$scratch/input.m2t" "$input"
fi
cat "$input" >/dev/null

measure "zuk ts-audio" "$zuk" ts-audio "$input" "$mp2"
measure "dd bs=1M" dd if="$input" of="$mp2" bs=1M status=none
measure "ffmpeg copy" ffmpeg -nostdin -v error -i "$input" -map 0:a:0 -c copy -f mp2 -y "$mp2"
measure "zuk extract" "$zuk" extract "$input" "$out" --quiet
check_output "zuk extract" 48000 "$seconds" 0.1
measure "ffmpeg" ffmpeg -nostdin -v error -i "$input" -vn -ac 1 -ar 48000 -c:a pcm_s16le -y "$out"
check_output "ffmpeg" 48000 "$seconds" 0.1

print_best "$minutes min of transport stream ($(du -m "$input" | cut -f1) MB; stereo 48 kHz MP2), best of $runs" \
    tool "zuk ts-audio" "dd bs=1M" "ffmpeg copy" "zuk extract" "ffmpeg"
awk -v demux="${best[zuk ts-audio]}" -v dd="${best[dd bs=1M]}" -v copy="${best[ffmpeg copy]}" \
    -v zuk="${best[zuk extract]}" -v ff="${best[ffmpeg]}" 'BEGIN {
    if (demux < 0.01) demux = 0.01
    if (ff < 0.01) ff = 0.01
    if (dd < 0.01) dd = 0.01
    io = demux / dd
    speedup = copy / demux
    ratio = zuk / ff
    printf "%-7s zuk ts-audio takes %.2f× the time of dd (goal: within 2×)\n", (io <= 2 ? "met" : "MISSED"), io
    printf "%-7s zuk ts-audio is %.2f× as fast as ffmpeg'"'"'s stream copy (goal: at least 2×)\n", (speedup >= 2 ? "met" : "MISSED"), speedup
    printf "%-7s zuk extract takes %.2f× ffmpeg'"'"'s time (goal: at most 1.05×)\n", (ratio <= 1.05 ? "met" : "MISSED"), ratio
}'
