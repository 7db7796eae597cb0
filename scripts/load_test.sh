#!/usr/bin/env bash
# Runs the tests again and again beside busy loops on every core, and lists
# every test that ever failed: a test that waits on time rather than on what
# it needs shows up here long before CI trips over it.
#
#   scripts/load_test.sh [--unit N] [--e2e N] [--per-core K] [--preset P] [-R|-E REGEX]
#
#   --unit N      runs of the unit tests (ctest -LE 'e2e|package', two at a
#                 time, as CI runs them); default 20
#   --e2e N       runs of the end-to-end tests (ctest -L e2e); default 5
#   --per-core K  busy loops per core while the tests run; default 4
#   --preset P    the build to test (already built); default "default"
#   -R REGEX      only the tests whose names match, in both kinds of run
#   -E REGEX      all but the tests whose names match
#
# Exit 0 when no run failed, 1 when one did.  The output of each failed run
# stays in build/<preset>/load_test/.  The loops take every core for as long
# as this runs: on a shared machine, start it with `nice`.
set -uo pipefail
cd "$(dirname "$0")/.."

unit_runs=20
e2e_runs=5
per_core=4
preset=default
only=()
while [ $# -gt 0 ]; do
  case $1 in
    --unit) unit_runs=${2:?}; shift 2 ;;
    --e2e) e2e_runs=${2:?}; shift 2 ;;
    --per-core) per_core=${2:?}; shift 2 ;;
    --preset) preset=${2:?}; shift 2 ;;
    -R | -E) only+=("$1" "${2:?}"); shift 2 ;;
    *) sed -n '6,14p' "$0" >&2; exit 2 ;;
  esac
done

build=build/$preset
[ -f "$build/CTestTestfile.cmake" ] || { echo "load_test: no build in $build" >&2; exit 2; }
logs=$build/load_test
rm -rf "$logs" && mkdir -p "$logs"

loops=()
stop_loops() {
  [ ${#loops[@]} -gt 0 ] && kill "${loops[@]}" 2>/dev/null
  wait "${loops[@]}" 2>/dev/null
  loops=()
}
trap stop_loops EXIT
trap 'exit 130' INT TERM
cores=$(nproc)
for ((i = 0; i < cores * per_core; i++)); do
  (while :; do :; done) &
  loops+=($!)
done
echo "load_test: ${#loops[@]} busy loops on $cores cores"

declare -A failures=()  # test name -> runs it failed in
failed_runs=0
# Runs ctest ($1: what, $2: run number, the rest: its arguments).
run() {
  local what=$1 n=$2 log
  shift 2
  log=$logs/$what-$n.log
  local started=$SECONDS
  rm -f "$build/Testing/Temporary/LastTestsFailed.log"  # an earlier run's
  if ctest --preset "$preset" "${only[@]}" --output-on-failure "$@" >"$log" 2>&1; then
    echo "load_test: $what run $n passed ($((SECONDS - started)) s)"
    rm -f "$log"
    return
  fi
  failed_runs=$((failed_runs + 1))
  local names
  names=$(sed -n 's/^[0-9]*://p' "$build/Testing/Temporary/LastTestsFailed.log" 2>/dev/null)
  [ -n "$names" ] || names="(ctest itself: see $log)"
  echo "load_test: $what run $n FAILED ($((SECONDS - started)) s):" $names
  local name
  while read -r name; do failures[$name]=$((${failures[$name]:-0} + 1)); done <<<"$names"
}

for ((n = 1; n <= unit_runs; n++)); do run unit "$n" -LE 'e2e|package' -j 2; done
for ((n = 1; n <= e2e_runs; n++)); do run e2e "$n" -L e2e; done
stop_loops

echo "load_test: $unit_runs unit and $e2e_runs end-to-end runs beside ${per_core} busy loops a core;" \
  "$failed_runs failed"
for name in "${!failures[@]}"; do echo "  $name: failed in ${failures[$name]} runs"; done
[ "$failed_runs" -eq 0 ]
