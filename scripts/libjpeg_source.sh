#!/usr/bin/env bash
# Unpacks Debian's libjpeg-turbo source package (the very source of the
# system library the Linux build links) into DIR, and prints the source
# tree's path.  The wasm build and the instrumented fuzz build compile it
# themselves; both need the same source and settings as the system's.
#
#   scripts/libjpeg_source.sh DIR
#
# Adds a deb-src entry for the machine's own suites when there is none
# (as root, or through sudo), and skips the download when DIR already holds
# the tree.
set -euo pipefail

dir=${1:?usage: libjpeg_source.sh DIR}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)

existing=$(find "$dir" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
if [ -n "$existing" ] && [ -f "$existing/CMakeLists.txt" ]; then
  echo "$existing"
  exit 0
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

# apt-get source needs dpkg-source, and a deb-src line for the suites the
# binary packages come from.
command -v dpkg-source >/dev/null || $sudo apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null
if ! grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
  src=/etc/apt/sources.list.d/rainbow-deb-src.sources
  for f in /etc/apt/sources.list.d/debian.sources /etc/apt/sources.list; do
    [ -f "$f" ] || continue
    if [ "${f##*.}" = sources ]; then
      sed 's/^Types: deb$/Types: deb-src/' "$f" | $sudo tee "$src" >/dev/null
    else
      sed -n 's/^deb /deb-src /p' "$f" | $sudo tee /etc/apt/sources.list.d/rainbow-deb-src.list >/dev/null
    fi
    break
  done
  $sudo apt-get update -qq
fi

(cd "$dir" && apt-get source -qq libjpeg-turbo >/dev/null 2>&1) || {
  # A stale package list may name a version the mirror no longer has.
  $sudo apt-get update -qq
  (cd "$dir" && apt-get source -qq libjpeg-turbo >/dev/null)
}
tree=$(find "$dir" -maxdepth 1 -type d -name 'libjpeg-turbo-*' | sort | tail -n 1)
[ -n "$tree" ] && [ -f "$tree/CMakeLists.txt" ] || {
  echo "libjpeg_source.sh: apt-get source libjpeg-turbo gave no source tree in $dir" >&2
  exit 1
}
echo "$tree"
