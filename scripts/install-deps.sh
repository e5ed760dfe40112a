#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail
packages=(g++ cmake ninja-build ccache pkg-config libgtest-dev libgmock-dev libbenchmark-dev
          clang libclang-rt-14-dev python3 python3-mido
          qt6-base-dev fonts-dejavu-core xvfb xauth imagemagick openbox xdotool x11-utils
          jackd2 libjack-jackd2-dev libasound2-dev
          libfluidsynth-dev libsndfile1-dev timgm6mb-soundfont liblo-dev
          fluidsynth)  # the synth bench's yardstick
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
