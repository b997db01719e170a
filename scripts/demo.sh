#!/usr/bin/env bash
# Builds everything and runs the demonstration: a front-end's walk through the device library on
# the simulated capture device (enrol a finger from three captures, identify it, refuse another);
# then the whole road of the desk program: torvane on the simulated device with the cloud
# stand-in, where a management page's requests start an enrolment, poll it to its result, and
# read back the sign-in of the same finger. Ends 0 after a good road; otherwise names the step
# that failed and ends 1.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

fail() {
  echo "demo failed: $*" >&2
  exit 1
}

scripts/deps.sh || fail "installing the packages"
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null || fail "configuring the build"
cmake --build build -j "$(nproc)" || fail "building"
build/bin/fv_demo "$@" || fail "the device library's walk (fv_demo)"

echo "=== the desk program"
desk_port=56189  # the program's own, fixed port
api=http://127.0.0.1:$desk_port/api/userAction
work=$(mktemp -d)
# Ends what the demonstration started; the programs' own exit statuses after the TERM they
# were sent say nothing about the road, so they never become the script's.
cleanup() {
  local status=$?
  set +e
  for pid in ${desk:-} ${cloud:-}; do
    kill -TERM "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

# Another program on the desk's port would answer in its place.
if (exec 3<>"/dev/tcp/127.0.0.1/$desk_port") 2>/dev/null; then
  fail "port $desk_port is held by another program (a torvane already running?)"
fi

# The cloud stand-in on a port the system chooses; it prints its address.
build/bin/fv_cloud 0 >"$work/cloud.out" &
cloud=$!
cloud_url=""
for _ in $(seq 1 50); do
  cloud_url=$(sed -n 's/^cloud stand-in at //p' "$work/cloud.out")
  [ -n "$cloud_url" ] && break
  kill -0 "$cloud" 2>/dev/null || break
  sleep 0.1
done
[ -n "$cloud_url" ] || fail "starting the cloud stand-in"

# The simulated device comes numbered 7; a finger lies on it for 3 s, then is away for 3 s.
(cd "$work" && FV_SIM_DEVICE_NUMBER=7 FV_DIALOG_PNG="$work/outcome.png" \
  TORVANE_CLOUD_URL="$cloud_url" exec "$root/build/bin/torvane") &
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
up=""
for _ in $(seq 1 20); do
  kill -0 "$desk" 2>/dev/null || fail "starting torvane (it ended)"
  curl -s -o /dev/null --max-time 5 "http://127.0.0.1:$desk_port/api/hello" && up=1 && break
  sleep 0.5
done
[ -n "$up" ] || fail "starting torvane (its local interface never answered)"

name=%E5%BC%A0%E4%B8%89  # 张三
reply=$(curl -s --max-time 10 "$api?type=openFingerCollect&memberId=42&name=$name&finger_type=1&clubId=3&branchId=4&image=") ||
  fail "openFingerCollect (no reply)"
[[ "$reply" == *'"result": 1'* ]] || fail "openFingerCollect (reply: $reply)"
echo "page: openFingerCollect -> $reply"
reply=$(ask_until 'type=getFingerCollect&memberId=42' 1 60) || fail "the enrolment (getFingerCollect)"
echo "page: getFingerCollect  -> $reply"
cp "$work/outcome.png" build/torvane-dialog.png || fail "the dialog's picture after the enrolment"
reply=$(ask_until 'type=getMemberSignIn&clubId=3&branchId=4' 42 30) || fail "the sign-in (getMemberSignIn)"
echo "page: getMemberSignIn   -> $reply"
cp "$work/outcome.png" build/torvane-sign-in.png || fail "the dialog's picture after the sign-in"
echo "desk program's dialog after the enrolment: build/torvane-dialog.png; after the sign-in: build/torvane-sign-in.png"
echo "=== demonstration passed"
