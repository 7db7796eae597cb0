#!/usr/bin/env bash
# Runs a command on an X display: the caller's, or an Xvfb of our own.
#
#   with_display.sh COMMAND [ARGS...]
set -uo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init with_display
need_tools xdotool
ensure_display
"$@"
