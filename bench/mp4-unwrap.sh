#!/usr/bin/env bash
# Times the MP4 unwrapper on a long stereo 48 kHz pcm_s16be QuickTime file
# whose sound lies in chunks of 8 KB between the frames of a tiny picture, as
# a camera writes it:
#   - `zuk mp4-unwrap` beside `dd bs=1M`, the read-and-write floor for the same bytes;
#   - `zuk extract` of a copy that only the MP4 route reads beside `ffmpeg`
#     making the same mono 48 kHz WAV from the original.
# usage: bench/mp4-unwrap.sh [BUILD_DIR] [MINUTES]   (default: build/release 60)
set -euo pipefail

source "$(dirname "$0")/common.sh" "$@"
for tool in ffmpeg ffprobe dd grep; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
input=$cache/stereo-s16be-8k-chunks-${minutes}min.mov
crafted=$cache/stereo-s16be-8k-chunks-${minutes}min-only-unwrappable.mp4

# Two different sweeping tones, so a swapped or shifted channel would show,
# in packets of 2048 frames (8 KB). Alone, the muxer would join packets that
# follow one another into chunks of up to 1 MB; a 25 fps picture of 16×16
# (a few bytes a frame) between them keeps each chunk to one or two packets.
# Generated once; a file of the wrong length (an interrupted run) is made again.
length() { ffprobe -v error -show_entries format=duration -of csv=p=0 "$1" 2>/dev/null || echo 0; }
if [[ ! -f $input ]] || ! awk -v d="$(length "$input")" -v s="$seconds" 'BEGIN { exit !(d > s - 0.1) }'; then
    echo "generating $minutes minutes of stereo 48 kHz pcm_s16be audio in $input ..."
    ffmpeg -nostdin -loglevel error -y \
        -f lavfi -i "sine=frequency=440:beep_factor=3:sample_rate=48000:duration=$seconds:samples_per_frame=2048" \
        -f lavfi -i "sine=frequency=997:sample_rate=48000:duration=$seconds:samples_per_frame=2048" \
        -f lavfi -i "color=c=black:size=16x16:rate=25:duration=$seconds" \
        -filter_complex "[0:a][1:a]amerge=inputs=2[a]" -map "[a]" -map 2:v \
        -c:a pcm_s16be -c:v libx264 -preset ultrafast -f mov "$input.part"
    mv "$input.part" "$input"
fi

# The copy names its sound's format with a code no decoder knows: FFmpeg gives
# up on it, so Extract's chain ends at the MP4 route, which copies it as PCM
# because its sample tables show one uncompressed frame per sample.
if [[ ! -f $crafted || $crafted -ot $input ]]; then
    cp "$input" "$crafted.part"
    size=$(stat -c %s "$input")
    tail=$((size < 1048576 ? size : 1048576))
    # The sample entry's code follows the box name, its version and flags,
    # its entry count and the entry's size.
    for at in $(tail -c "$tail" "$input" | grep -obUa stsd | cut -d: -f1); do
        printf 'qzpc' | dd of="$crafted.part" bs=1 seek=$((size - tail + at + 16)) conv=notrunc status=none
    done
    mv "$crafted.part" "$crafted"
    if ffmpeg -nostdin -loglevel quiet -i "$crafted" -t 1 -f null - 2>/dev/null; then
        echo "ffmpeg still reads $crafted: it would not reach the MP4 route" >&2; exit 1
    fi
fi

# All read the same file from the page cache; one read warms it.
cat "$input" "$crafted" >/dev/null

# The command line's own footprint (libzuk.so and the media libraries it
# loads), so that the memory the copy itself needs can be told apart.
measure "zuk --help" "$zuk" --help
measure "zuk mp4-unwrap" "$zuk" mp4-unwrap "$input" "$out" --quiet
check_output "zuk mp4-unwrap" 48000 "$seconds" 0.01 2
measure "dd bs=1M" dd if="$input" of="$out" bs=1M status=none
measure "zuk extract" "$zuk" extract "$crafted" "$out" --quiet
check_output "zuk extract" 48000 "$seconds" 0.01
measure "ffmpeg" ffmpeg -nostdin -loglevel error -y -i "$input" -ac 1 -ar 48000 -c:a pcm_s16le "$out"
check_output "ffmpeg" 48000 "$seconds" 0.01

print_best "$minutes min of stereo 48 kHz pcm_s16be in 8 KB chunks in QuickTime ($(($(stat -c %s "$input") / 1048576)) MB), best of $runs" \
    tool "zuk --help" "zuk mp4-unwrap" "dd bs=1M" "zuk extract" "ffmpeg"
awk -v unwrap="${best[zuk mp4-unwrap]}" -v dd="${best[dd bs=1M]}" -v extract="${best[zuk extract]}" \
    -v ffmpeg="${best[ffmpeg]}" -v base="$(peak_mb "zuk --help")" \
    -v mb="$(peak_mb "zuk mp4-unwrap")" -v xmb="$(peak_mb "zuk extract")" 'BEGIN {
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
