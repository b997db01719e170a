#!/usr/bin/env bash
# Installs the Debian packages the build needs, when any is missing (Debian 12, as root).
set -euo pipefail
packages=(build-essential cmake pkg-config binutils
  libgtest-dev libgmock-dev libbenchmark-dev libssl-dev libhwy-dev
  libjsoncpp-dev libcurl4-openssl-dev libcivetweb-dev
  libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev libjpeg-dev
  libfreetype-dev fonts-wqy-microhei
  libusb-1.0-0-dev umockdev libumockdev-dev
  chromium curl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
