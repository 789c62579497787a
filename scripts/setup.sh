#!/usr/bin/env bash
# Installs everything the project needs on a fresh Debian 12 machine: the
# toolchain, the libraries, the programs the tests drive, and the Italian
# locale the report texts are checked under. Safe to run again.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format
  libpugixml-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libcups2-dev libcairo2-dev libgtk-3-dev
  locales xvfb xdotool x11-apps imagemagick socat
  cups cups-ipp-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^it_IT\.utf-\?8$'; then
  localedef -i it_IT -f UTF-8 it_IT.UTF-8
fi
