#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the saver need (skips when present).
# 32-bit Wine, which runs the Windows build's tests, comes from the i386 architecture. The page is
# built with emscripten and tested in Chromium, driven from node with nothing from npm.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libx11-dev
          libxrandr-dev libxinerama-dev libgl1 libglx-mesa0 libgl1-mesa-dri libglu1-mesa xvfb xdotool
          imagemagick x11-utils x11-xserver-utils xauth g++-mingw-w64-i686 gcc-mingw-w64-i686-win32
          binutils-mingw-w64-i686 googletest clang-format
          clang-tidy python3 time procps dpkg-dev git
          xscreensaver xscreensaver-gl xsecurelock lintian
          emscripten nodejs chromium
          libwayland-dev wayland-protocols libxkbcommon-dev libegl-dev libgles-dev pkg-config
          libegl-mesa0 xkb-data
          sway swaybg swayidle weston grim wtype mate-screensaver dbus libglib2.0-bin
          desktop-file-utils acl passwd
          libsystemd-dev libxext-dev plasma-wayland-protocols systemd mutter kwin-wayland python3-dbus)
# LMVXSVGL.SCR under Wine: 32-bit Wine draws with the 32-bit Mesa, and a GL child window needs
# the 32-bit Composite client library (the others give Wine its usual X extensions).
wine_packages=(wine wine32:i386 libgl1:i386 libglx-mesa0:i386 libgl1-mesa-dri:i386
               libxcomposite1:i386 libxrender1:i386 libxrandr2:i386 libxcursor1:i386 libxi6:i386
               libxinerama1:i386)
native=$(dpkg --print-architecture)
# Installed for the architecture asked for (name:arch), else for the machine's own or for all.
installed() {
  local name=${1%%:*} arch=${1#*:}
  [ "$arch" != "$1" ] || arch=$native
  dpkg-query -W -f='${db:Status-Abbrev} ${Architecture}\n' "$name" 2>/dev/null |
    grep -Eq "^ii +($arch|all)\$"
}
missing=()
for p in "${packages[@]}" "${wine_packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo_cmd dpkg --add-architecture i386
  fi
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
