#!/usr/bin/env bash
# Installs what building, running, testing and packaging rainbow needs on
# Debian 12, skipping what is already there.  Uses sudo when not run as root.
# (dpkg-dev: dpkg-shlibdeps finds the .deb's dependencies; wine64 runs the
# 64-bit Windows programs, as this kernel runs no 32-bit ones; appstream,
# man-db and librsvg2-bin check the package's metainfo, manual pages and SVG
# icon; nasm builds libjpeg-turbo's SIMD code for the instrumented fuzz
# build; x11-apps' xwd dumps windows for the time-to-bows benchmark; weston and
# zenity show the message box on Wayland, in its end-to-end test; python3-mpmath
# recomputes the Lorenz-Mie reference values in arbitrary precision.)
#
#   scripts/setup.sh           what the desktop builds and their tests need
#   scripts/setup.sh web       and Emscripten, for the browser build
#   scripts/setup.sh web-test  and headless Chromium with Selenium, its tests
set -euo pipefail

packages=(
  cmake make g++ clang clang-format libclang-rt-14-dev pkg-config git
  libgtest-dev libbenchmark-dev libsdl2-dev libpng-dev libjpeg-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
  xvfb xauth xfonts-base xdotool imagemagick x11-utils python3
  libjpeg-turbo-progs libimage-exiftool-perl
  dpkg-dev desktop-file-utils unzip wine wine64 appstream man-db librsvg2-bin libxml2-utils
  nasm x11-apps weston zenity python3-mpmath
)
case "${1:-}" in
  web) packages+=(emscripten) ;;
  web-test) packages+=(emscripten chromium chromium-driver python3-selenium) ;;
  '') ;;
  *)
    echo "usage: scripts/setup.sh [web|web-test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
