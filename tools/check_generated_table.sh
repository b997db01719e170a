#!/bin/sh
# Regenerates a trained table from its committed corpus and compares it byte for byte with the
# committed file, so a table can never go stale unnoticed.
#   check_generated_table.sh COMMITTED GENERATOR [GENERATOR ARGUMENTS...]
# The generator is called as GENERATOR OUTPUT DATA_DIR ARGUMENTS. The data folder is
# $FV_DATA_DIR, else ../shared/data beside the checkout; without it the check is skipped (77).
set -u
committed=$1
generator=$2
shift 2
data=${FV_DATA_DIR:-$(dirname "$0")/../../shared/data}
if [ ! -f "$data/manifest.csv" ]; then
  echo "shared data folder absent: $committed not checked"
  exit 77
fi
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$generator" "$out" "$data" --no-report "$@" >/dev/null || exit 1
if ! diff -q "$out" "$committed" >/dev/null; then
  echo "$committed is not what $(basename "$generator") makes of the committed corpus today;"
  echo "regenerate it (and what depends on it: RefineWeights after CellNormTable, the stage checksums)"
  diff "$out" "$committed" | head -20
  exit 1
fi
echo "$committed is the generator's output"
