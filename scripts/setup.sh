#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# but only those that are missing, so repeated runs cost nothing.
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev qt6-base-dev-tools libgl-dev libqt6network6
  libgtest-dev googletest
  fonts-liberation fonts-dejavu-core qt6-translations-l10n
  xdg-utils qt6-svg-dev desktop-file-utils
  appstream dpkg-dev
  # The end-to-end tests: an X server, a window manager, real input and
  # clipboard, screenshots, the test runner, GNOME's platform theme for Qt.
  xvfb openbox xdotool xclip x11-utils imagemagick python3-pytest qt6-gtk-platformtheme
  # `make bench BENCH_ARGS=--huge` times GNU datamash on the same file.
  datamash
)
# `make fuzz` builds the fuzz targets with clang and libFuzzer.
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
