#!/usr/bin/env bash
# Times `zuk extract` on a long MPEG program stream (MPEG-2 video, stereo
# 48 kHz MP2 sound) beside the ffmpeg command line doing the same job. zuk
# takes the MPEG route: the sound is decoded into an AVI beside the output
# (`zuk wrap-avi`, timed alone too, beside ffmpeg writing the same AVI), which
# is then read again.
# Goal: extraction at most 1.5× ffmpeg's time (the AVI is written and read
# once more), memory flat whatever the length.
# usage: bench/extract-mpeg.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }
input=$cache/mpeg-ps-${minutes}min.mpg
avi=$scratch/out.avi

if [[ ! -f $input ]]; then
    echo "generating $minutes minutes of MPEG-PS with stereo MP2 sound in $input ..."
    ffmpeg -nostdin -hide_banner -loglevel error -y \
        -f lavfi -i "testsrc=size=64x48:rate=25:duration=$seconds" \
        -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*(110+0.5*mod(t\,600))*t)|0.2*sin(2*PI*331*t):s=48000:d=$seconds" \
        -c:v mpeg2video -q:v 20 -c:a mp2 -b:a 192k -f mpeg "$scratch/input.mpg"
    mv "$scratch/input.mpg" "$input"
fi
cat "$input" >/dev/null

measure "zuk extract" "$zuk" extract "$input" "$out" --quiet
check_output "zuk extract" 48000 "$seconds" 0.1
measure "ffmpeg" ffmpeg -nostdin -v error -i "$input" -vn -ac 1 -ar 48000 -c:a pcm_s16le -y "$out"
check_output "ffmpeg" 48000 "$seconds" 0.1
measure "zuk wrap-avi" "$zuk" wrap-avi "$input" "$avi"
measure "ffmpeg avi" ffmpeg -nostdin -v error -i "$input" -vn -c:a pcm_s16le -f avi -y "$avi"

print_best "$minutes min of MPEG-PS (stereo 48 kHz MP2), best of $runs" \
    tool "zuk extract" "ffmpeg" "zuk wrap-avi" "ffmpeg avi"
awk -v zuk="${best[zuk extract]}" -v ff="${best[ffmpeg]}" -v wrap="${best[zuk wrap-avi]}" \
    -v ffavi="${best[ffmpeg avi]}" 'BEGIN {
    if (ff < 0.01) ff = 0.01
    if (ffavi < 0.01) ffavi = 0.01
    ratio = zuk / ff
    printf "%-7s zuk extract takes %.2f× ffmpeg'"'"'s time (goal: at most 1.5×)\n", (ratio <= 1.5 ? "met" : "MISSED"), ratio
    printf "        zuk wrap-avi takes %.2f× ffmpeg'"'"'s time writing the same AVI\n", wrap / ffavi
}'
