#!/usr/bin/env bash
# Peak memory of `zuk extract` on sound that claims a rate of 1 Hz: a WAV of
# 2 KB and an MP4 of 3 KB, 1000 frames each, which last 1000 s and so make
# 48 million frames at 48 kHz. Each frame becomes a second of output.
# Goal: peak memory under 64 MB, with every frame written: the output holds
# the frames ffmpeg decodes, times 48000.
# usage: bench/absurd-rates.sh [BUILD_DIR]   (default: build/release)
set -euo pipefail

source "$(dirname "$0")/common.sh" "${1:-build/release}"
for tool in ffmpeg ffprobe; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done
wav=$cache/rate-1hz.wav
mp4=$cache/rate-1hz.mp4

rate_of() {
    ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate -of csv=p=0 "$1" 2>/dev/null || true
}

# 1000 frames of a tone at 8 kHz, then the rate in the fmt chunk (which
# ffmpeg writes first) set to 1 Hz and the bytes per second to 2. The MP4
# is ffmpeg's copy of that WAV, its sound still PCM at 1 Hz.
if [[ $(rate_of "$wav") != 1 ]]; then
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:sample_rate=8000:duration=0.125" \
        -bitexact -c:a pcm_s16le "$scratch/input.wav"
    printf '\x01\x00\x00\x00\x02\x00\x00\x00' | dd of="$scratch/input.wav" bs=1 seek=24 conv=notrunc status=none
    mv "$scratch/input.wav" "$wav"
fi
if [[ $(rate_of "$mp4") != 1 ]]; then
    ffmpeg -nostdin -v error -y -i "$wav" -c:a pcm_s16le -f mov "$scratch/input.mp4"
    mv "$scratch/input.mp4" "$mp4"
fi

# check_frames NAME INPUT CHANNELS: $out must hold CHANNELS channels at 48 kHz
# and as many frames as ffmpeg decodes from INPUT, times 48000 (its rate is 1 Hz).
check_frames() {
    local name=$1 input=$2 channels=$3 decoded expected got
    decoded=$(ffmpeg -nostdin -v error -i "$input" -f s16le -ac 1 - | wc -c)
    expected=$((decoded / 2 * 48000))
    got="$(soxi -c "$out") $(soxi -r "$out") $(soxi -s "$out")"
    if [[ $got != "$channels 48000 $expected" ]]; then
        echo "$name wrote the wrong output: channels, rate, frames = $got (expected $channels 48000 $expected)" >&2
        exit 1
    fi
}

# The WAV takes the library's own decoder only for stereo output: mono
# output of a .wav goes through the resampler.
measure "WAV, stereo" "$zuk" extract "$wav" "$out" --stereo --quiet
check_frames "WAV, stereo" "$wav" 2
measure "MP4" "$zuk" extract "$mp4" "$out" --quiet
check_frames "MP4" "$mp4" 1

print_best "extracting 1000 frames at 1 Hz to 48 kHz 16-bit WAV (48 million frames), best of $runs" \
    input "WAV, stereo" "MP4"
for name in "WAV, stereo" "MP4"; do
    awk -v name="$name" -v mb="$(peak_mb "$name")" 'BEGIN {
        printf "%-7s %s: zuk peak memory %.1f MB (goal: under 64 MB)\n", (mb < 64 ? "met" : "MISSED"), name, mb
    }'
done
