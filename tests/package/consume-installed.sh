#!/bin/sh
# Installs a build into a scratch prefix, moves the prefix elsewhere (an
# installation must not depend on where it was first put), and builds and runs
# hosts from there as their users would: a C program through pkg-config, a
# CMake project through find_package(zuk), and a Python script through ctypes,
# each extracting the sound of INPUT; and a C program that reads it through
# the reader.
#
#   consume-installed.sh BUILD INPUT SCRATCH
#     BUILD    a configured and built zuk build folder
#     INPUT    a media file with sound
#     SCRATCH  a folder this script may empty and fill
set -eu

fail() {
  echo "consume-installed: $*" >&2
  exit 1
}

[ $# -eq 3 ] || fail "usage: $0 BUILD INPUT SCRATCH"
build=$1
input=$2
scratch=$3
here=$(cd "$(dirname "$0")" && pwd)
for tool in cc pkg-config cmake python3; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool not found (scripts/install-deps installs it)"
done

rm -rf "$scratch"
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd)
cmake --install "$build" --prefix "$scratch/first" >/dev/null
mv "$scratch/first" "$scratch/moved"
prefix=$scratch/moved

pc=$(find "$prefix" -name zuk.pc)
[ -n "$pc" ] || fail "no zuk.pc installed"
export PKG_CONFIG_PATH="${pc%/zuk.pc}"
libdir=$(pkg-config --variable=libdir zuk)
[ -f "$libdir/libzuk.so" ] || fail "zuk.pc names $libdir, which holds no libzuk.so"

# The tool runs from where it lies, with its manual page and completion.
"$prefix/bin/zuk" --version | grep -q '^zuk [0-9]' || fail "the installed zuk does not say its version"
[ -s "$prefix/share/man/man1/zuk.1" ] || fail "no manual page installed"
completion=$prefix/share/bash-completion/completions/zuk
[ "$(bash -c '. "$1"; COMP_WORDS=(zuk "ex"); COMP_CWORD=1; _zuk "$2"; echo "${COMPREPLY[*]}"' \
    completion "$completion" "$prefix/bin/zuk")" = extract ] || fail "bash completion does not complete 'ex' to extract"

# Each host must write a WAV with sound.
check_output() {
  [ -s "$1" ] || fail "$2 wrote no $1"
  [ "$(head -c 4 "$1")" = RIFF ] || fail "$2 wrote $1, which is not a WAV"
}

# shellcheck disable=SC2046  # pkg-config's flags are meant to split
cc -o "$scratch/c-consumer" "$here/consumer.c" $(pkg-config --cflags --libs zuk)
LD_LIBRARY_PATH=$libdir "$scratch/c-consumer" "$input" "$scratch/c.wav" || fail "the C host failed"
check_output "$scratch/c.wav" "the C host"

# The reader's C interface, built the same way, must find sound in INPUT.
# shellcheck disable=SC2046
cc -o "$scratch/reader-peak" "$here/reader-peak.c" $(pkg-config --cflags --libs zuk)
peak=$(LD_LIBRARY_PATH=$libdir "$scratch/reader-peak" "$input") || fail "the reader host failed"
[ "${peak#peak }" -gt 0 ] 2>/dev/null || fail "the reader host found no sound: $peak"

cmake -S "$here/cmake-consumer" -B "$scratch/cmake-build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/cmake-build" >/dev/null
"$scratch/cmake-build/consumer" "$input" "$scratch/cmake.wav" || fail "the CMake host failed"
check_output "$scratch/cmake.wav" "the CMake host"

python3 "$here/consumer.py" "$libdir/libzuk.so" "$input" "$scratch/python.wav" || fail "the Python host failed"
check_output "$scratch/python.wav" "the Python host"
