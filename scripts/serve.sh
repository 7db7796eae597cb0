#!/usr/bin/env bash
# Serves the browser build's site (build/web/site) on 127.0.0.1, with the
# two headers that make its pages cross-origin isolated, which
# rainbow_threaded's worker thread needs (SharedArrayBuffer):
#   Cross-Origin-Opener-Policy: same-origin
#   Cross-Origin-Embedder-Policy: require-corp
#
#   scripts/serve.sh [PORT]      default port: 8000
set -euo pipefail
cd "$(dirname "$0")/.."

port=${1:-8000}
case "$port" in
  '' | *[!0-9]*)
    echo "usage: scripts/serve.sh [PORT]" >&2
    exit 2
    ;;
esac
site=${RAINBOW_SITE:-build/web/site}
if [ ! -f "$site/index.html" ]; then
  echo "serve: no site in $site; build it first: cmake --preset web && cmake --build --preset web" >&2
  exit 1
fi
exec python3 "$(dirname "$0")/serve_site.py" "$site" "$port"
