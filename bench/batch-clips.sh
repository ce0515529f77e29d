#!/usr/bin/env bash
# Times `zuk extract DIR/* --outdir OUT` on a shoot of 200 short clips (2 s
# each, with a small video track: 50 each of MOV/AAC, MP4/AAC, MKV/Vorbis and
# AVI/PCM) beside the ffmpeg command line run on every core at once through
# xargs -P, each clip to a mono 16-bit 48 kHz WAV.
# Goal: zuk at least 4× faster, as one process starts once and keeps every
# core busy where ffmpeg starts 200 times.
# usage: bench/batch-clips.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail

source "$(dirname "$0")/common.sh" "${1:-build/release}"
command -v ffmpeg >/dev/null || { echo "ffmpeg is needed" >&2; exit 2; }

clips=$cache/clips-200
kinds=("mov:-c:a aac -b:a 128k -c:v mpeg4" "mp4:-c:a aac -b:a 128k -c:v mpeg4"
       "mkv:-c:a libvorbis -q:a 4 -c:v mpeg4" "avi:-c:a pcm_s16le -c:v mpeg4")
if [[ ! -f $clips/complete ]]; then
    echo "generating 200 clips of 2 s in $clips ..." >&2
    rm -rf "$clips" && mkdir -p "$clips"
    for kind in "${kinds[@]}"; do
        extension=${kind%%:*}
        for ((i = 0; i < 50; i++)); do
            # shellcheck disable=SC2086 # the codec options are words
            ffmpeg -nostdin -hide_banner -loglevel error -y \
                -f lavfi -i "testsrc=size=160x120:rate=25:duration=2" \
                -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*(200+$i*7)*t)|0.3*sin(2*PI*(300+$i*5)*t):s=44100:d=2" \
                ${kind#*:} -shortest "$clips/$extension-$i.$extension"
        done
    done
    touch "$clips/complete"
fi
inputs=("$clips"/*-*.*)

# Both read the clips from the page cache; one read warms it.
cat "${inputs[@]}" >/dev/null
outdir=$scratch/outputs
measure "ffmpeg -P$(nproc)" bash -c 'rm -rf "$2"; mkdir -p "$2"; cd "$1" && ls -- *-*.* |
    xargs -P"$(nproc)" -I{} ffmpeg -nostdin -v error -i {} -vn -ac 1 -ar 48000 -c:a pcm_s16le -y "$2/{}.wav"' \
    _ "$clips" "$outdir"
[[ $(find "$outdir" -name '*.wav' | wc -l) == "${#inputs[@]}" ]] || { echo "ffmpeg left outputs out" >&2; exit 1; }
measure "zuk extract" bash -c 'rm -rf "$1"; exec "$2" extract --quiet --outdir "$1" "${@:3}"' \
    _ "$outdir" "$zuk" "${inputs[@]}"
[[ $(find "$outdir" -name '*.wav' | wc -l) == "${#inputs[@]}" ]] || { echo "zuk left outputs out" >&2; exit 1; }
out=$(find "$outdir" -name 'mkv-0.wav')
check_output "zuk extract" 48000 2 0.05

print_best "extracting 200 clips of 2 s (MOV, MP4, MKV, AVI) to mono 48 kHz 16-bit WAV on $(nproc) cores, best of $runs" \
    tool "zuk extract" "ffmpeg -P$(nproc)"
awk -v zuk="${best[zuk extract]}" -v ff="${best[ffmpeg -P$(nproc)]}" 'BEGIN {
    if (zuk < 0.01) zuk = 0.01
    ratio = ff / zuk
    printf "%-7s zuk is %.1f× faster than ffmpeg (goal: at least 4×)\n", (ratio >= 4 ? "met" : "MISSED"), ratio
}'
