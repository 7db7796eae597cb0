#!/usr/bin/env bash
# Serves the browser build's site on 127.0.0.1 for development, by default
# with the two headers that make its pages cross-origin isolated from the
# first visit on (rainbow_threaded's worker thread shares memory; without
# them the site's service worker adds them, after one reload):
#   Cross-Origin-Opener-Policy: same-origin
#   Cross-Origin-Embedder-Policy: require-corp
#
#   scripts/serve.sh [--no-headers] [PORT [FOLDER]]
#
# PORT: default 8000; 0 takes any free one.  FOLDER: default build/web/site
# (or $RAINBOW_SITE).  --no-headers serves it as an ordinary static host
# does (the tests use it).  Prints the site's address once it is listening;
# stops on Ctrl-C.
set -euo pipefail

usage="usage: scripts/serve.sh [--no-headers] [PORT [FOLDER]]"
headers=1
if [ "${1:-}" = --no-headers ]; then
  headers=0
  shift
fi
port=${1:-8000}
case "$port" in
  '' | *[!0-9]* | -*)
    echo "$usage" >&2
    exit 2
    ;;
esac
[ $# -le 2 ] || {
  echo "$usage" >&2
  exit 2
}
site=${2:-${RAINBOW_SITE:-$(dirname "$0")/../build/web/site}}
if [ ! -d "$site" ]; then
  echo "serve: no site in $site; build it first: cmake --preset web && cmake --build --preset web" >&2
  exit 1
fi

exec python3 - "$site" "$port" "$headers" <<'PYTHON'
import functools
import http.server
import sys

folder, port, headers = sys.argv[1], int(sys.argv[2]), sys.argv[3] == "1"


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    def end_headers(self):
        if headers:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, *args):
        pass  # one line per file would drown the address


try:
    server = http.server.ThreadingHTTPServer(("127.0.0.1", port),
                                             functools.partial(Handler, directory=folder))
except OSError as e:
    print("serve: cannot listen on 127.0.0.1:%d: %s" % (port, e.strerror), file=sys.stderr)
    sys.exit(1)
print("Serving %s at http://127.0.0.1:%d/" % (folder, server.server_address[1]), flush=True)
try:
    server.serve_forever()
except KeyboardInterrupt:
    pass
PYTHON
