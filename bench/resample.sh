#!/usr/bin/env bash
# Times `zuk resample` on a long stereo 44.1 kHz WAV beside sox's quick mode
# (the reference tool) and plain_loop (read, fold to mono, write: the I/O floor).
# usage: bench/resample.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
plain=$build/bin/plain_loop
[[ -x $plain ]] || { echo "$plain not found: build the project first" >&2; exit 2; }
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 2; }
input=$cache/stereo-44100-${minutes}min.wav

# Sweeps, tones and noise that differ between the channels, so the mono fold
# and the interpolation work on real signal rather than silence. Generated once;
# a file of the wrong length (an interrupted run) is made again.
if [[ ! -f $input || $(soxi -s "$input" 2>/dev/null) != $((seconds * 44100)) ]]; then
    echo "generating $minutes minutes of stereo 44.1 kHz audio in $input ..."
    sox -n -r 44100 -b 16 -c 2 -t wav "$scratch/input.wav" \
        synth "$seconds" sine 110-3520 sine 4000-150 \
        synth sine mix 440 square mix 331 \
        synth pinknoise mix brownnoise mix \
        tremolo 0.3 60 gain -6
    mv "$scratch/input.wav" "$input"
fi

# All three read the same file from the page cache; one read warms it.
cat "$input" >/dev/null

# measure_resample NAME RATE COMMAND...: measure, then check that the output is
# mono 16-bit at RATE and as long as the input.
measure_resample() {
    local name=$1 rate=$2
    shift 2
    measure "$name" "$@"
    check_output "$name" "$rate" "$seconds" 0.01
}

measure_resample "zuk resample" 48000 "$zuk" resample "$input" "$out" --quiet
measure_resample "sox -q" 48000 sox "$input" -b 16 "$out" remix - rate -q 48000
measure_resample "plain loop" 44100 "$plain" "$input" "$out"

print_best "resampling $minutes min of stereo 44.1 kHz 16-bit WAV to mono 48 kHz, best of $runs" \
    tool "zuk resample" "sox -q" "plain loop"
awk -v zuk="${best[zuk resample]}" -v sox="${best[sox -q]}" -v plain="${best[plain loop]}" \
    -v mb="$(peak_mb "zuk resample")" 'BEGIN {
    # Timings are in hundredths; keep a zero from dividing.
    if (zuk < 0.01) zuk = 0.01
    if (plain < 0.01) plain = 0.01
    fast = sox / zuk; io = zuk / plain
    printf "%-7s zuk is %.1f× faster than sox -q (goal: at least 3×)\n", (fast >= 3 ? "met" : "MISSED"), fast
    printf "%-7s zuk takes %.1f× the I/O floor (goal: within 3×)\n", (io <= 3 ? "met" : "MISSED"), io
    printf "%-7s zuk peak memory %.1f MB (goal: under 16 MB)\n", (mb < 16 ? "met" : "MISSED"), mb
}'
