#!/bin/sh
# Builds the managed host ExtractHost.exe and has it call libzuk.so's
# Extract_DotNet with names outside ASCII, once to succeed and once to fail.
#
#   run-host-test.sh LIBDIR SCRATCH
#     LIBDIR   the folder holding libzuk.so
#     SCRATCH  a folder this script may empty and fill
set -eu

[ $# -eq 2 ] || { echo "usage: $0 LIBDIR SCRATCH" >&2; exit 1; }
libdir=$(cd "$1" && pwd)
scratch=$2
here=$(cd "$(dirname "$0")" && pwd)

fail() {
  echo "run-host-test: $*" >&2
  exit 1
}

# A machine without these cannot run the test, and that must show as a
# failure, not as a pass that checked nothing.
for tool in mcs mono sox; do
  command -v $tool >/dev/null 2>&1 || fail "$tool not found: scripts/install-deps installs it"
done
[ -e "$libdir/libzuk.so" ] || fail "no libzuk.so in $libdir"

rm -rf "$scratch"
mkdir -p "$scratch"
mcs -nologo -out:"$scratch/ExtractHost.exe" "$here/ExtractHost.cs"

# Letters outside ASCII in the folder and in the file name, so the UTF-16
# strings are converted in full, not byte by byte.
clips=$(cd "$scratch" && pwd)"/Bänd clips"
mkdir -p "$clips"
sox -n -r 44100 -c 2 -b 16 "$clips/tëst tone.wav" synth 1 sine 440

export LD_LIBRARY_PATH="$libdir${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
mono "$scratch/ExtractHost.exe" 0 "$clips/tëst tone.wav" "$clips/öut 中.wav" || fail "extraction failed"
# A .wav goes straight to the resampler, which cannot open a missing file: -1.
mono "$scratch/ExtractHost.exe" -1 "$clips/nöt there.wav" "$clips/never.wav" || fail "a missing input did not fail with -1"
echo "run-host-test: all managed host checks passed"
