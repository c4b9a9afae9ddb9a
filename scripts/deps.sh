#!/usr/bin/env bash
# Installs every Debian package that the build, the tests and the benchmarks need.
# Idempotent and non-interactive: packages already present are left alone.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  clang clang-format libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsndfile1-dev libcurl4-openssl-dev
  patch dpf-source lv2-dev liblilv-dev lilv-utils sordi
  libasound2-dev jackd2 libjack-jackd2-dev
  valgrind libtsan2
  libcairo2-dev libjpeg62-turbo-dev libfreetype-dev fonts-league-spartan
  libx11-dev libxcursor-dev libxext-dev libxrandr-dev xvfb xdotool x11-apps
  ardour jalv
  calf-plugins
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -eq 0 ]; then
  echo "deps: all ${#packages[@]} packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
echo "deps: installing ${missing[*]}"
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
