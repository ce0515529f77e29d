#!/usr/bin/env bash
# Times `zuk extract` on a long MP4 with stereo 44.1 kHz AAC sound beside the
# ffmpeg command line doing the same job (decode, mix to mono, resample to
# 48 kHz, write 16-bit WAV).
# Goals: zuk takes at most 1.0× ffmpeg's time, and its peak memory stays under
# 64 MB whatever the length (run a shorter length too to see it flat).
# usage: bench/extract-aac.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
input=$(aac_input)

# Both read the same file from the page cache; one read warms it.
cat "$input" >/dev/null

# The sound lasts $seconds, and both decode the encoder's last block whole, a
# little past that; zuk then pads what it decoded to whole video frames, here
# whole seconds (1 fps).
measure "ffmpeg" ffmpeg -nostdin -v error -i "$input" -vn -ac 1 -ar 48000 -c:a pcm_s16le -y "$out"
check_output "ffmpeg" 48000 "$seconds" 0.05
padded=$(soxi -D "$out" | awk '{ s = int($1); if (s < $1) s++; print s }')
measure "zuk extract" "$zuk" extract "$input" "$out" --quiet
check_output "zuk extract" 48000 "$padded" 0.001

print_best "extracting $minutes min of stereo 44.1 kHz AAC (MP4) to mono 48 kHz 16-bit WAV, best of $runs" \
    tool "zuk extract" "ffmpeg"
awk -v zuk="${best[zuk extract]}" -v ff="${best[ffmpeg]}" -v mb="$(peak_mb "zuk extract")" 'BEGIN {
    # Timings are in hundredths; keep a zero from dividing.
    if (ff < 0.01) ff = 0.01
    ratio = zuk / ff
    printf "%-7s zuk takes %.2f× ffmpeg'"'"'s time (goal: at most 1.0×)\n", (ratio <= 1.0 ? "met" : "MISSED"), ratio
    printf "%-7s zuk peak memory %.1f MB (goal: under 64 MB)\n", (mb < 64 ? "met" : "MISSED"), mb
}'
