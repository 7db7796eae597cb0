#!/usr/bin/env bash
# Installs what is missing, builds one of the programs and starts it with
# build/default/bin as its working folder, where the backdrop programs find
# their pictures.  Without a display it says so and draws the bows into
# rainbow.png instead.  `web` builds the four programs for the browser
# and serves their site on 127.0.0.1 (scripts/serve.sh), printing its
# address.
#
#   scripts/run.sh [plain|threaded|bitmap|photo|web]     default: plain
set -euo pipefail
cd "$(dirname "$0")/.."

usage="usage: scripts/run.sh [plain|threaded|bitmap|photo|web]"
if [ $# -gt 1 ]; then
  echo "$usage" >&2
  exit 2
fi
name=${1:-plain}
case "$name" in
  plain | threaded | bitmap | photo) ;;
  web)
    scripts/setup.sh web
    cmake --preset web >/dev/null
    cmake --build --preset web --parallel "$(nproc)"
    exec scripts/serve.sh
    ;;
  *)
    echo "$usage" >&2
    exit 2
    ;;
esac
program=rainbow_$name

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --parallel "$(nproc)" \
  --target "$program" rainbow_render rainbow_backdrops

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  cd build/default/bin
  exec "./$program"
fi
echo "run: no display available; writing the picture to rainbow.png with rainbow_render instead"
build/default/bin/rainbow_render --out rainbow.png
