#!/usr/bin/env bash
# Builds everything and runs the demonstration: a front-end's walk through the device library on
# the simulated capture device (enrol a finger from three captures, identify it, refuse another).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/fv_demo "$@"
