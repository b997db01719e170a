#!/usr/bin/env bash
# Builds everything and runs the demonstration: a front-end's walk through the device library on
# the simulated capture device (enrol a finger from three captures, identify it, refuse another);
# then the whole road of the desk program: torvane on the simulated device with the cloud
# stand-in, where a management page's requests start an enrolment, poll it to its result, and
# read back the sign-in of the same finger.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
build/bin/fv_demo "$@"

echo "=== the desk program"
work=$(mktemp -d)
api=http://127.0.0.1:56189/api/userAction
cleanup() {
  [ -n "${desk:-}" ] && kill -TERM "$desk" 2>/dev/null && wait "$desk" 2>/dev/null
  [ -n "${cloud:-}" ] && kill -TERM "$cloud" 2>/dev/null && wait "$cloud" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
build/bin/fv_cloud 56190 &
cloud=$!
# The simulated device comes numbered 7; a finger lies on it for 3 s, then is away for 3 s.
(cd "$work" && FV_SIM_DEVICE_NUMBER=7 FV_DIALOG_PNG="$work/outcome.png" \
  TORVANE_CLOUD_URL=http://127.0.0.1:56190/ exec "$root/build/bin/torvane") &
desk=$!

# Asks until the reply's result is $2 (at most $3 seconds); prints the last reply.
ask_until() {
  local reply=""
  for _ in $(seq 1 "$3"); do
    reply=$(curl -s --max-time 10 "$api?$1" || true)
    if [[ "$reply" == *"\"result\": $2"* ]]; then echo "$reply"; return 0; fi
    sleep 1
  done
  echo "gave up waiting for result $2; last reply: $reply" >&2
  return 1
}
for _ in $(seq 1 20); do curl -s -o /dev/null http://127.0.0.1:56189/api/hello && break; sleep 0.5; done

name=%E5%BC%A0%E4%B8%89  # 张三
echo "page: openFingerCollect -> $(curl -s "$api?type=openFingerCollect&memberId=42&name=$name&finger_type=1&clubId=3&branchId=4&image=")"
echo "page: getFingerCollect  -> $(ask_until 'type=getFingerCollect&memberId=42' 1 60)"
cp "$work/outcome.png" build/torvane-dialog.png
echo "page: getMemberSignIn   -> $(ask_until 'type=getMemberSignIn&clubId=3&branchId=4' 42 30)"
cp "$work/outcome.png" build/torvane-sign-in.png
echo "desk program's dialog after the enrolment: build/torvane-dialog.png; after the sign-in: build/torvane-sign-in.png"
