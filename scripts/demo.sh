#!/usr/bin/env bash
# Builds everything and runs the demonstration: a front-end's walk through the device library on
# the simulated capture device (enrol a finger from three captures, identify it, refuse another).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
build/bin/fv_demo "$@"
# The desk program for a few seconds on the simulated device, drawn into a PNG as it ends.
work=$(mktemp -d)
(cd "$work" && FV_DIALOG_PNG="$root/build/torvane-dialog.png" timeout -s TERM 6 "$root/build/bin/torvane") || true
rm -rf "$work"
echo "desk program's dialog: build/torvane-dialog.png"
