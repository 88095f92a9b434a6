#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the saver need (skips when present).
set -euo pipefail
packages=(cmake ninja-build g++ clang libgtest-dev libgmock-dev libbenchmark-dev libx11-dev
          libgl1 libglx-mesa0 libgl1-mesa-dri libglu1-mesa xvfb xdotool imagemagick x11-utils
          xauth g++-mingw-w64-i686 clang-format python3 time procps dpkg-dev
          xscreensaver xscreensaver-gl xsecurelock)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
