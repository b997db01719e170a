#!/usr/bin/env bash
# Builds and runs every test: a normal build, then an AddressSanitizer + UndefinedBehavior build,
# then the threaded suites under ThreadSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
jobs=$(nproc)

run_build() {  # folder, sanitizer, ctest arguments...
  local dir=$1 sanitize=$2
  shift 2
  echo "=== build $dir (sanitizer: ${sanitize:-none})"
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFV_WERROR=ON -DFV_SANITIZE="$sanitize" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" "$@")
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1

run_build build ""
run_build build-asan address
run_build build-tsan thread -L threaded
echo "=== all tests passed"
