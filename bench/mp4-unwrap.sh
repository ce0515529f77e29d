#!/usr/bin/env bash
# Times the MP4 unwrapper on a long stereo 48 kHz pcm_s16be QuickTime file:
#   - `zuk mp4-unwrap` beside `dd bs=1M`, the read-and-write floor for the same bytes;
#   - `zuk extract` of a copy that only the MP4 route reads beside `ffmpeg`
#     making the same mono 48 kHz WAV from the original.
# usage: bench/mp4-unwrap.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

build=${1:-build/release}
minutes=${2:-60}
runs=3
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "MINUTES must be a positive whole number" >&2; exit 2; }
seconds=$((minutes * 60))
zuk=$build/bin/zuk

[[ -x $zuk ]] || { echo "$zuk not found: build the project first" >&2; exit 2; }
for tool in ffmpeg soxi dd grep /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

cache=${TMPDIR:-/tmp}/zuk-bench
mkdir -p "$cache"
input=$cache/stereo-s16be-${minutes}min.mov
crafted=$cache/stereo-s16be-${minutes}min-only-unwrappable.mp4
out=$cache/mp4-out.wav
trap 'rm -f "$out" "$out"2.wav "$cache/time" "$cache/err"' EXIT

# Two different sweeping tones, so a swapped or shifted channel would show.
# Generated once; a file of the wrong length (an interrupted run) is made again.
length() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null || echo 0; }
if [[ ! -f $input ]] || ! awk -v d="$(length "$input")" -v s="$seconds" 'BEGIN { exit !(d > s - 0.1) }'; then
    echo "generating $minutes minutes of stereo 48 kHz pcm_s16be audio in $input ..."
    ffmpeg -nostdin -loglevel error -y \
        -f lavfi -i "sine=frequency=440:beep_factor=3:sample_rate=48000:duration=$seconds" \
        -f lavfi -i "sine=frequency=997:sample_rate=48000:duration=$seconds" \
        -filter_complex amerge=inputs=2 -c:a pcm_s16be -f mov "$input.part"
    mv "$input.part" "$input"
fi

# The copy claims more chunk offsets than its table holds: FFmpeg gives up
# on it, so Extract's chain ends at the MP4 route, which reads the rows present.
if [[ ! -f $crafted || $crafted -ot $input ]]; then
    cp "$input" "$crafted.part"
    size=$(stat -c %s "$input")
    tail=$((size < 1048576 ? size : 1048576))
    for at in $(tail -c "$tail" "$input" | grep -obUa stco | cut -d: -f1); do
        printf '\377\377\377\377' | dd of="$crafted.part" bs=1 seek=$((size - tail + at + 8)) conv=notrunc status=none
    done
    mv "$crafted.part" "$crafted"
    if ffmpeg -nostdin -loglevel quiet -i "$crafted" -t 1 -f null - 2>/dev/null; then
        echo "ffmpeg still reads $crafted: it would not reach the MP4 route" >&2; exit 1
    fi
fi

# All read the same file from the page cache; one read warms it.
cat "$input" "$crafted" >/dev/null

# measure NAME CHANNELS COMMAND...: best wall time over $runs runs and the
# highest peak RSS, after checking the output's channels and length.
declare -A best peak
measure() {
    local name=$1 channels=$2 wall kb
    shift 2
    best[$name]=; peak[$name]=0
    for ((run = 0; run < runs; run++)); do
        rm -f "$out" "$out"2.wav
        sync
        if ! /usr/bin/time -f '%e %M' -o "$cache/time" "$@" >/dev/null 2>"$cache/err"; then
            echo "$name failed:" >&2; cat "$cache/err" "$cache/time" >&2; exit 1
        fi
        read -r wall kb <"$cache/time"
        if [[ -z ${best[$name]} ]] || awk -v a="$wall" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
            best[$name]=$wall
        fi
        if ((kb > ${peak[$name]})); then peak[$name]=$kb; fi
    done
    [[ $channels == - ]] && return
    local got
    got="$(soxi -c "$out") $(soxi -r "$out") $(soxi -b "$out") $(soxi -D "$out")"
    if ! awk -v got="$got" -v ch="$channels" -v len="$seconds" 'BEGIN {
            split(got, f, " ")
            d = f[4] - len
            exit !(f[1] == ch && f[2] == 48000 && f[3] == 16 && d < 0.01 && d > -0.01) }'; then
        echo "$name wrote the wrong output: channels, rate, bits, seconds = $got" \
             "(expected $channels 48000 16 $seconds)" >&2
        exit 1
    fi
}

# The command line's own footprint (libzuk.so and the media libraries it
# loads), so that the memory the copy itself needs can be told apart.
measure "zuk --help" - "$zuk" --help
measure "zuk mp4-unwrap" 2 "$zuk" mp4-unwrap "$input" "$out" --quiet
measure "dd bs=1M" - dd if="$input" of="$out" bs=1M status=none
measure "zuk extract" 1 "$zuk" extract "$crafted" "$out" --quiet
measure "ffmpeg" 1 ffmpeg -nostdin -loglevel error -y -i "$input" -ac 1 -ar 48000 -c:a pcm_s16le "$out"

mb() { awk -v k="$1" 'BEGIN { printf "%.1f", k / 1024 }'; }
echo
echo "$minutes min of stereo 48 kHz pcm_s16be in QuickTime ($(($(stat -c %s "$input") / 1048576)) MB), best of $runs"
printf '%-16s %8s %9s\n' tool seconds "peak MB"
for name in "zuk --help" "zuk mp4-unwrap" "dd bs=1M" "zuk extract" "ffmpeg"; do
    printf '%-16s %8.2f %9s\n' "$name" "${best[$name]}" "$(mb "${peak[$name]}")"
done
echo
awk -v unwrap="${best[zuk mp4-unwrap]}" -v dd="${best[dd bs=1M]}" -v extract="${best[zuk extract]}" \
    -v ffmpeg="${best[ffmpeg]}" -v base="$(mb "${peak[zuk --help]}")" \
    -v mb="$(mb "${peak[zuk mp4-unwrap]}")" -v xmb="$(mb "${peak[zuk extract]}")" 'BEGIN {
    # Timings are in hundredths; keep a zero from dividing.
    if (dd < 0.01) dd = 0.01
    if (ffmpeg < 0.01) ffmpeg = 0.01
    io = unwrap / dd; ext = extract / ffmpeg
    printf "%-7s zuk mp4-unwrap takes %.2f× the time of dd (goal: within 2×)\n", (io <= 2 ? "met" : "MISSED"), io
    printf "%-7s zuk extract via the MP4 route takes %.2f× the time of ffmpeg (goal: at most 0.5×)\n", \
        (ext <= 0.5 ? "met" : "MISSED"), ext
    up = mb - base; xup = xmb - base
    printf "%-7s above the start-up footprint (%.1f MB), zuk mp4-unwrap needs %.1f MB and extract %.1f MB\n", \
        (up < 8 && xup < 8 ? "met" : "MISSED"), base, up, xup
    printf "        (goal: flat, under 8 MB whatever the length; compare runs of different MINUTES)\n"
}'
