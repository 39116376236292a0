#!/usr/bin/env bash
# Installs the Debian packages Velmora needs to build, run and test, only those
# that are missing (the Wayland tests run weston, mutter and KWin, the last
# with its usual window decoration, each in a D-Bus session of its own). Run
# as root on Debian 12. With the argument "fuzz", also what the BMP loader's
# fuzz target needs (scripts/fuzz.sh): clang and its libFuzzer and sanitizer
# runtimes. With "package", what building and checking the Debian package
# needs (scripts/package.sh).
set -euo pipefail

packages=(
  g++ make ninja-build cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libjpeg62-turbo-dev libpng-dev zlib1g-dev libwebp-dev libtiff-dev
  libgtest-dev libbenchmark-dev
  fonts-dejavu-core
  qt6-image-formats-plugins xclip
  xdg-utils
  desktop-file-utils
  parallel
  xvfb xauth x11-utils xdotool libx11-dev libxcb1-dev openbox
  weston xwayland qt6-wayland
  mutter kwin-wayland kwin-style-breeze dbus
)
if [ "${1:-}" = fuzz ]; then
  packages+=(clang libclang-rt-14-dev)
fi
if [ "${1:-}" = package ]; then
  packages+=(dpkg-dev file binutils lintian appstream man-db groff-base)
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installation des paquets manquants : ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Ces paquets doivent être installés en tant que root (apt-get install ${missing[*]})." >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
