#!/usr/bin/env bash
# Builds everything and runs the demonstration.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
if [ -x build/bin/fv_demo ]; then
  exec build/bin/fv_demo "$@"
fi
echo "The device library is not built yet; what exists so far:"
ls build/bin
