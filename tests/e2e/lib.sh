# Shared by the end-to-end scripts: a scratch folder, an X display (the
# caller's, or an Xvfb of our own), finding windows, and waiting.
#
#   source lib.sh; e2e_init NAME
#
# A script exits 0 when it passed, 1 when it failed, 77 when it skipped (a
# tool is missing).

e2e_init() {
  e2e_name=$1
  work=$(mktemp -d)
  xvfb_pid=""
  program_pid=""
  trap e2e_cleanup EXIT
  unset SDL_VIDEODRIVER  # a real X window, even under a headless test environment
}

e2e_cleanup() {
  if [ -n "$program_pid" ] && kill -0 "$program_pid" 2>/dev/null; then kill "$program_pid"; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  wait 2>/dev/null
  rm -rf "$work"
}

skip() {
  echo "$e2e_name: SKIPPED: $*"
  exit 77
}

fail() {
  echo "$e2e_name: FAIL: $*" >&2
  local log
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $(basename "$log")" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

need_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# Polls a command for up to $1 tenths of a second (longer on a busy machine:
# the command's own time comes on top).  What a check needs is waited for
# so, with a generous ceiling; a plain pause is left only where it gives a
# wrong move (ending on a key it should ignore) time to show, and a slow
# machine can then only miss that, never fail a right program.
within() {
  local tenths=$1 i
  shift
  for ((i = 0; i < tenths; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Uses $DISPLAY if set, else an Xvfb of our own that picks a free display
# itself.  -noreset: without it Xvfb refuses connections for a moment after
# its last client leaves, and a program started then finds no display.
ensure_display() {
  [ -n "${DISPLAY:-}" ] && return 0
  need_tools Xvfb
  Xvfb -displayfd 3 -noreset -screen 0 "${1:-1280x1024}x24" -nolisten tcp \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  within 300 test -s "$work/display" || fail "Xvfb did not start"
  export DISPLAY=":$(head -n 1 "$work/display")"
  within 300 xdotool getdisplaygeometry >/dev/null 2>&1 || fail "display $DISPLAY does not answer"
}

# Starts a program in $2 (a folder) with its output in $work/program.log.
start_program() {
  local prog
  prog=$(realpath "$1")
  rm -f "$work/program.log"  # the last program's, until the new one has started
  (cd "$2" && exec "$prog") >"$work/program.log" 2>&1 &
  program_pid=$!
}

running() {
  kill -0 "$program_pid" 2>/dev/null
}

# The program's visible window, by title, within $2 seconds (default 30);
# sets $window.
find_window() {
  window=$(timeout "${2:-30}" xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null |
    head -n 1)
  [ -n "$window" ]
}

# The same, looked for every 10 ms for up to $2 hundredths of a second
# (default 1000): xdotool's own --sync looks only every half second, which
# a timing cannot afford.
find_window_now() {
  window=
  for _ in $(seq "${2:-1000}"); do
    window=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && return 0
    sleep 0.01
  done
  return 1
}

# Waits up to $1 tenths of a second for the program to end; sets $status.
wait_exit() {
  within "$1" eval '! running' || return 1
  status=0
  wait "$program_pid" || status=$?
  program_pid=""
}

# Pixels of one exact colour (#RRGGBB) in a screenshot.
count_colour() {
  convert "$1" -format %c histogram:info:- |
    awk -v c=" $2 " 'index($0, c) { sub(":", "", $1); n += $1 } END { print n + 0 }'
}
