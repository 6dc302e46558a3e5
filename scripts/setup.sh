#!/usr/bin/env bash
# Installs what building, running and testing the program needs from Debian's
# packages. Idempotent and quiet when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-serialport-dev libqcustomplot-dev libqt6opengl6-dev
  qt6-qpa-plugins libgl-dev
  libgtest-dev googletest
  xvfb xauth dbus dbus-x11 at-spi2-core python3 python3-pyatspi imagemagick
  clang libclang-rt-14-dev locales
  g++-mingw-w64-x86-64-posix qt6-base-dev-tools wine wine64 nsis fonts-liberation
  # The desktop's own faces, in which the panels and their pictures are
  # drawn; the fonts above alone would satisfy the font library, leaving
  # every panel in a typewriter face.
  fonts-dejavu-core
  libxrender1 libxcursor1 libxi6 libxrandr2 libxinerama1 libxcomposite1 libxfixes3
  libpaho-mqtt-dev libssl-dev libsqlite3-dev mosquitto mosquitto-clients openssl
  # What each copy of the program opens, renames and removes, for the
  # tests that keep several copies apart.
  strace
  # The report's text and first page read back (pdftotext, pdfinfo, pdftoppm).
  poppler-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
