#!/usr/bin/env bash
# Installs what is missing, builds, and starts rainbow_plain.  Without a
# display it says so and draws the same picture into rainbow.png instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --parallel "$(nproc)" --target rainbow_plain rainbow_render

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/default/bin/rainbow_plain
fi
echo "run: no display available; writing the picture to rainbow.png with rainbow_render instead"
build/default/bin/rainbow_render --out rainbow.png
