#!/bin/sh
# Builds the managed host ExtractHost.exe and has it extract a test tone
# through libzuk.so's Extract_DotNet: from a plain path, from file:// URLs
# written two ways (all three must give the same bytes), the sound of the
# sample video, and from a missing file, which must fail with the right code
# without writing anything.
#
#   run-host-test.sh LIBDIR SCRATCH
#     LIBDIR   the folder holding libzuk.so
#     SCRATCH  a folder this script may empty and fill
set -eu

if [ $# -ne 2 ]; then
  echo "usage: $0 LIBDIR SCRATCH" >&2
  exit 1
fi
libdir=$1
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-host-test: $*" >&2
  exit 1
}

# A machine without these cannot run the test, and that must show as a
# failure, not as a pass that checked nothing.
command -v mcs >/dev/null 2>&1 || fail "mcs not found: install the Debian package mono-mcs (scripts/install-deps does)"
command -v mono >/dev/null 2>&1 || fail "mono not found: install the Debian package mono-runtime (scripts/install-deps does)"
command -v sox >/dev/null 2>&1 || fail "sox not found: install the Debian package sox (scripts/install-deps does)"
[ -e "$libdir/libzuk.so" ] || fail "no libzuk.so in $libdir"
libdir=$(cd "$libdir" && pwd)

rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)

mcs -nologo -out:"$scratch/ExtractHost.exe" "$here/ExtractHost.cs"

# A space and letters outside ASCII, both in the folder and in the file name,
# so every conversion of the path between UTF-16, UTF-8 and URL form is used.
clips="$scratch/Bänd clips"
mkdir -p "$clips"
input="$clips/tëst tone.wav"
sox -n -r 44100 -c 2 -b 16 "$input" synth 1 sine 440

# Writes $1 as a file:// URL. Bytes other than letters, digits and -._~/ are
# escaped as %XX; those of non-ASCII letters only when $2 is "escape-utf8",
# as URLs come both ways.
file_url() {
  printf '%s' "$1" | LC_ALL=C awk -v escape_utf8="$2" '
    BEGIN { for (i = 1; i < 256; i++) code[sprintf("%c", i)] = i }
    {
      if (NR > 1) out = out "%0A"
      for (i = 1; i <= length($0); i++) {
        c = substr($0, i, 1)
        if (c ~ /[A-Za-z0-9._~\/-]/ || (code[c] >= 128 && escape_utf8 != "escape-utf8"))
          out = out c
        else
          out = out sprintf("%%%02X", code[c])
      }
    }
    END { printf "file://%s", out }'
}

raw_url=$(file_url "$input" raw)
escaped_url=$(file_url "$input" escape-utf8)

LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
export LD_LIBRARY_PATH

host() {
  echo "> ExtractHost.exe $*"
  mono "$scratch/ExtractHost.exe" "$@"
}

# 1 s at 44100 Hz becomes 48000 frames at 48000 Hz.
host "$input" "$clips/from päth.wav" --expect-frames 48000 || fail "extraction from a plain path failed"
host "$raw_url" "$clips/from ürl.wav" --expect-frames 48000 || fail "extraction from $raw_url failed"
host "$escaped_url" "$clips/from escaped ürl.wav" --expect-frames 48000 || fail "extraction from $escaped_url failed"

cmp "$clips/from päth.wav" "$clips/from ürl.wav" || fail "a file:// URL gave a different WAV than the plain path"
cmp "$clips/from päth.wav" "$clips/from escaped ürl.wav" || fail "an escaped file:// URL gave a different WAV than the plain path"

# A video's sound goes through the chain to the library's own decoder, which
# leaves COM to the managed host: 3.99 s of AAC padded to 100 frames at 25 fps.
sample="$here/../../samples/testcard-aac.mp4"
[ -f "$sample" ] || fail "the sample clip $sample is missing"
host "$sample" "$clips/tëstcard.wav" --expect-frames 192000 || fail "extraction of the sample video failed"

# A missing file whose extension picks no back end goes through the whole
# chain; every back end fails on it, so the chain reports -4.
host --expect-failure -4 "$clips/nöt there.mov" "$clips/never written.wav" || fail "a missing .mov input did not fail with -4"
# A .wav goes straight to the resampler, which cannot open it: -1.
host --expect-failure -1 "$clips/nöt there.wav" "$clips/never written.wav" || fail "a missing .wav input did not fail with -1"

echo "run-host-test: all managed host checks passed"
