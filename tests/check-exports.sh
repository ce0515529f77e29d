#!/bin/sh
# Compares the dynamic symbols a library defines with the list it should export.
set -eu
library=$1
expected=$2
actual=$(nm -D --defined-only "$library" | awk '$2 ~ /^[TtWwDdBbVvRr]$/ {print $3}' | sort)
wanted=$(grep -v '^#' "$expected" | sort)
if [ "$actual" != "$wanted" ]; then
  echo "exports of $library differ from $expected:"
  printf '%s\n' "$wanted" >"${TMPDIR:-/tmp}/zuk-exports-wanted.$$"
  printf '%s\n' "$actual" | diff -u "${TMPDIR:-/tmp}/zuk-exports-wanted.$$" - || true
  rm -f "${TMPDIR:-/tmp}/zuk-exports-wanted.$$"
  exit 1
fi
