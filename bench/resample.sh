#!/usr/bin/env bash
# Times `zuk resample` on a long stereo 44.1 kHz WAV beside sox's quick mode
# (the reference tool) and plain_loop (read, fold to mono, write: the I/O floor).
# usage: bench/resample.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

build=${1:-build/release}
minutes=${2:-60}
runs=3
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "MINUTES must be a positive whole number" >&2; exit 2; }
seconds=$((minutes * 60))
zuk=$build/bin/zuk
plain=$build/bin/plain_loop

for program in "$zuk" "$plain"; do
    [[ -x $program ]] || { echo "$program not found: build the project first" >&2; exit 2; }
done
for tool in sox soxi /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

cache=${TMPDIR:-/tmp}/zuk-bench
mkdir -p "$cache"
input=$cache/stereo-44100-${minutes}min.wav
out=$cache/out.wav
trap 'rm -f "$out" "$cache/time" "$cache/err"' EXIT

# Sweeps, tones and noise that differ between the channels, so the mono fold
# and the interpolation work on real signal rather than silence. Generated once;
# a file of the wrong length (an interrupted run) is made again.
if [[ ! -f $input || $(soxi -s "$input" 2>/dev/null) != $((seconds * 44100)) ]]; then
    echo "generating $minutes minutes of stereo 44.1 kHz audio in $input ..."
    sox -n -r 44100 -b 16 -c 2 -t wav "$input.part" \
        synth "$seconds" sine 110-3520 sine 4000-150 \
        synth sine mix 440 square mix 331 \
        synth pinknoise mix brownnoise mix \
        tremolo 0.3 60 gain -6
    mv "$input.part" "$input"
fi

# All three read the same file from the page cache; one read warms it.
cat "$input" >/dev/null

# measure NAME RATE COMMAND...: best wall time over $runs runs and the highest
# peak RSS, after checking the output is mono 16-bit at RATE and full length.
declare -A best peak
measure() {
    local name=$1 rate=$2 wall kb
    shift 2
    best[$name]=; peak[$name]=0
    for ((run = 0; run < runs; run++)); do
        rm -f "$out"
        if ! /usr/bin/time -f '%e %M' -o "$cache/time" "$@" >/dev/null 2>"$cache/err"; then
            echo "$name failed:" >&2; cat "$cache/err" "$cache/time" >&2; exit 1
        fi
        read -r wall kb <"$cache/time"
        if [[ -z ${best[$name]} ]] || awk -v a="$wall" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
            best[$name]=$wall
        fi
        if ((kb > ${peak[$name]})); then peak[$name]=$kb; fi
    done
    local got
    got="$(soxi -c "$out") $(soxi -r "$out") $(soxi -b "$out") $(soxi -D "$out")"
    if ! awk -v got="$got" -v rate="$rate" -v len="$seconds" 'BEGIN {
            split(got, f, " ")
            d = f[4] - len
            exit !(f[1] == 1 && f[2] == rate && f[3] == 16 && d < 0.01 && d > -0.01) }'; then
        echo "$name wrote the wrong output: channels, rate, bits, seconds = $got" \
             "(expected 1 $rate 16 $seconds)" >&2
        exit 1
    fi
}

measure "zuk resample" 48000 "$zuk" resample "$input" "$out" --quiet
measure "sox -q" 48000 sox "$input" -b 16 "$out" remix - rate -q 48000
measure "plain loop" 44100 "$plain" "$input" "$out"

echo
echo "resampling $minutes min of stereo 44.1 kHz 16-bit WAV to mono 48 kHz, best of $runs"
printf '%-14s %8s %9s\n' tool seconds "peak MB"
for name in "zuk resample" "sox -q" "plain loop"; do
    printf '%-14s %8.2f %9.1f\n' "$name" "${best[$name]}" "$(awk -v k="${peak[$name]}" 'BEGIN { print k / 1024 }')"
done
echo
awk -v zuk="${best[zuk resample]}" -v sox="${best[sox -q]}" -v plain="${best[plain loop]}" \
    -v mb="$(awk -v k="${peak[zuk resample]}" 'BEGIN { print k / 1024 }')" 'BEGIN {
    # Timings are in hundredths; keep a zero from dividing.
    if (zuk < 0.01) zuk = 0.01
    if (plain < 0.01) plain = 0.01
    fast = sox / zuk; io = zuk / plain
    printf "%-7s zuk is %.1f× faster than sox -q (goal: at least 3×)\n", (fast >= 3 ? "met" : "MISSED"), fast
    printf "%-7s zuk takes %.1f× the I/O floor (goal: within 3×)\n", (io <= 3 ? "met" : "MISSED"), io
    printf "%-7s zuk peak memory %.1f MB (goal: under 16 MB)\n", (mb < 16 ? "met" : "MISSED"), mb
}'
