#!/usr/bin/env bash
# Times `zuk extract` on a long MP4 with stereo 44.1 kHz AAC sound (the input
# of extract-aac.sh) and on a FLAC of the same sound, beside the ffmpeg command
# line doing the same job (decode, mix to mono, resample to 48 kHz, write
# 16-bit WAV); zuk also pinned to one core with `taskset`, to show what
# decoding in pieces costs where no second core takes them.
# Goals: zuk takes at most 0.6× ffmpeg's time, with peak memory under 128 MB.
# usage: bench/extract-long.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
command -v taskset >/dev/null || { echo "taskset is needed" >&2; exit 2; }
aac=$(aac_input)
flac=$cache/flac-44100-${minutes}min.flac
if [[ ! -f $flac || $(sound_seconds "$flac") != "$seconds" ]]; then
    echo "generating $minutes minutes of stereo 44.1 kHz FLAC in $flac ..." >&2
    ffmpeg -nostdin -hide_banner -loglevel error -y -i "$aac" -vn -c:a flac "$scratch/input.flac"
    mv "$scratch/input.flac" "$flac"
fi
# All read the same files from the page cache; one read warms it.
cat "$aac" "$flac" >/dev/null

# zuk pads the MP4's sound to whole video frames, here whole seconds (1 fps).
for kind in mp4 flac; do
    input=$aac
    [[ $kind == flac ]] && input=$flac
    measure "ffmpeg $kind" ffmpeg -nostdin -v error -i "$input" -vn -ac 1 -ar 48000 -c:a pcm_s16le -y "$out"
    check_output "ffmpeg $kind" 48000 "$seconds" 0.05
    measure "zuk $kind" "$zuk" extract "$input" "$out" --quiet
    check_output "zuk $kind" 48000 "$seconds" 1
    measure "zuk $kind 1 core" taskset -c 0 "$zuk" extract "$input" "$out" --quiet
done

print_best "extracting $minutes min of stereo 44.1 kHz sound to mono 48 kHz 16-bit WAV, best of $runs" tool \
    "ffmpeg mp4" "zuk mp4" "zuk mp4 1 core" "ffmpeg flac" "zuk flac" "zuk flac 1 core"
for kind in mp4 flac; do
    awk -v kind="$kind" -v zuk="${best[zuk $kind]}" -v ff="${best[ffmpeg $kind]}" -v mb="$(peak_mb "zuk $kind")" 'BEGIN {
        # Timings are in hundredths; keep a zero from dividing.
        if (ff < 0.01) ff = 0.01
        ratio = zuk / ff
        printf "%-7s %-4s zuk takes %.2f× ffmpeg'"'"'s time (goal: at most 0.6×)\n", (ratio <= 0.6 ? "met" : "MISSED"), kind, ratio
        printf "%-7s %-4s zuk peak memory %.1f MB (goal: under 128 MB)\n", (mb < 128 ? "met" : "MISSED"), kind, mb
    }'
done
