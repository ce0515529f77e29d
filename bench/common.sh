# Shared by the benchmark scripts: their command line, timing with GNU time
# and checks of what each tool wrote. Sourced (bash) with the script's own
# arguments, [BUILD_DIR] [MINUTES]; it sets build, minutes, seconds, runs,
# zuk, cache (the folder that keeps generated inputs) and out (the file each
# tool writes, removed on exit).

build=${1:-build/release}
minutes=${2:-60}
runs=3
[[ $minutes =~ ^[1-9][0-9]*$ ]] || { echo "MINUTES must be a positive whole number" >&2; exit 2; }
seconds=$((minutes * 60))
zuk=$build/bin/zuk

[[ -x $zuk ]] || { echo "$zuk not found: build the project first" >&2; exit 2; }
for tool in soxi /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
done

cache=${TMPDIR:-/tmp}/zuk-bench
mkdir -p "$cache"
# Outputs and timings go to a folder of this run: runs from other checkouts
# share the cache.
scratch=$(mktemp -d "$cache/run.XXXXXX")
out=$scratch/out.wav
trap 'rm -rf "$scratch"' EXIT

# Best wall time (s) and highest peak RSS (kB) of each tool measured so far.
declare -A best peak

# measure NAME COMMAND...: runs COMMAND $runs times, keeping its best wall time
# and highest peak RSS; a failing run ends the script. Each run starts with no
# out.* file in the scratch folder: writing over the last run's output
# (truncating it first) costs more than writing a new file, and not the same
# for each tool.
measure() {
    local name=$1 wall kb run
    shift
    best[$name]=; peak[$name]=0
    for ((run = 0; run < runs; run++)); do
        rm -f "$scratch"/out.*
        if ! /usr/bin/time -f '%e %M' -o "$scratch/time" "$@" >/dev/null 2>"$scratch/err"; then
            echo "$name failed:" >&2; cat "$scratch/err" "$scratch/time" >&2; exit 1
        fi
        read -r wall kb <"$scratch/time"
        if [[ -z ${best[$name]} ]] || awk -v a="$wall" -v b="${best[$name]}" 'BEGIN { exit !(a < b) }'; then
            best[$name]=$wall
        fi
        if ((kb > ${peak[$name]})); then peak[$name]=$kb; fi
    done
}

# check_output NAME RATE SECONDS TOLERANCE [CHANNELS]: $out must be 16-bit at
# RATE with CHANNELS channels (1 when not given) and last SECONDS, give or
# take TOLERANCE seconds; else the script ends.
check_output() {
    local name=$1 rate=$2 seconds=$3 tolerance=$4 channels=${5:-1} got
    got="$(soxi -c "$out") $(soxi -r "$out") $(soxi -b "$out") $(soxi -D "$out")"
    if ! awk -v got="$got" -v rate="$rate" -v len="$seconds" -v tol="$tolerance" -v ch="$channels" 'BEGIN {
            split(got, f, " ")
            d = f[4] - len
            exit !(f[1] == ch && f[2] == rate && f[3] == 16 && d <= tol && d >= -tol) }'; then
        echo "$name wrote the wrong output: channels, rate, bits, seconds = $got" \
             "(expected $channels $rate 16 $seconds ± $tolerance)" >&2
        exit 1
    fi
}

# print_best HEADING COLUMN NAME...: under HEADING, a table of each NAME's
# best time and peak memory, its first column headed COLUMN.
print_best() {
    local heading=$1 column=$2 width=12 name
    shift 2
    for name in "$@"; do
        if ((${#name} + 2 > width)); then width=$((${#name} + 2)); fi
    done
    printf '\n%s\n' "$heading"
    printf "%-${width}s %8s %9s\n" "$column" seconds "peak MB"
    for name in "$@"; do
        printf "%-${width}s %8.2f %9.1f\n" "$name" "${best[$name]}" "$(peak_mb "$name")"
    done
    echo
}

# peak_mb NAME: the tool's highest peak RSS in MB.
peak_mb() {
    awk -v k="${peak[$1]}" 'BEGIN { print k / 1024 }'
}

# aac_input: prints the path of a $minutes-minute MP4 with stereo 44.1 kHz AAC
# sound in the cache, making it first when it is missing: a sweep on the left,
# a tone under pink noise on the right, and a 1 fps 64×48 picture (the video
# track costs next to nothing but gives the file a frame rate, as a real clip
# has). A file of the wrong length (an interrupted run) is made again.
aac_input() {
    local input=$cache/aac-44100-${minutes}min.mp4 tool
    for tool in ffmpeg ffprobe; do
        command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 2; }
    done
    if [[ ! -f $input || $(sound_seconds "$input") != "$seconds" ]]; then
        echo "generating $minutes minutes of stereo 44.1 kHz AAC in $input ..." >&2
        ffmpeg -nostdin -hide_banner -loglevel error -y \
            -f lavfi -i "testsrc=size=64x48:rate=1:duration=$seconds" \
            -f lavfi -i "aevalsrc=exprs=0.3*sin(2*PI*(110+0.5*mod(t\,600))*t):s=44100:d=$seconds" \
            -f lavfi -i "sine=frequency=331:sample_rate=44100:duration=$seconds" \
            -f lavfi -i "anoisesrc=color=pink:sample_rate=44100:amplitude=0.1:duration=$seconds" \
            -filter_complex "[2:a][3:a]amix=inputs=2:normalize=0[right];[1:a][right]amerge=inputs=2[a]" \
            -map 0:v -map "[a]" -c:v libx264 -preset ultrafast -pix_fmt yuv420p \
            -c:a aac -b:a 128k -f mp4 "$scratch/input.mp4"
        mv "$scratch/input.mp4" "$input"
    fi
    echo "$input"
}

# Length of the first audio stream in whole seconds, or nothing when it cannot be read.
sound_seconds() {
    ffprobe -v error -select_streams a:0 -show_entries stream=duration -of csv=p=0 "$1" 2>/dev/null |
        awk '{ printf "%d", $1 + 0.5 }'
}
