#!/usr/bin/env python3
"""Serves a folder on 127.0.0.1 with the cross-origin isolation headers.

    serve_site.py FOLDER PORT [--not-isolated]

Prints the site's address once it is listening; stops on Ctrl-C.
--not-isolated leaves the headers out, as an ordinary host would (tests).
"""

import functools
import http.server
import sys


class IsolatedHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".js": "text/javascript"}

    isolated = True

    def end_headers(self):
        if self.isolated:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def log_message(self, *args):
        pass  # one line per file would drown the address


def main(argv):
    if len(argv) not in (3, 4) or (len(argv) == 4 and argv[3] != "--not-isolated"):
        print(__doc__.splitlines()[2].strip(), file=sys.stderr)
        return 2
    folder, port = argv[1], int(argv[2])
    IsolatedHandler.isolated = len(argv) == 3
    handler = functools.partial(IsolatedHandler, directory=folder)
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", port), handler)
    except OSError as e:
        print("serve: cannot listen on 127.0.0.1:%d: %s" % (port, e.strerror), file=sys.stderr)
        return 1
    print("Serving %s at http://127.0.0.1:%d/" % (folder, server.server_address[1]), flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
