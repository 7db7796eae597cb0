#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: unit tests, the
# end-to-end tests under Xvfb, the unit and end-to-end tests again under
# ASan+UBSan, the thread stress tests and the threaded program's end-to-end
# test under TSan, the fuzzers for a bounded time, the format check, and both
# Windows cross-builds.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc)"
step() { printf '\n==== %s\n' "$*"; }

# Runs ctest and adds its counts to the totals printed at the end.
passed=0
failed=0
run_ctest() {
  local log
  log="$(mktemp)"
  ctest "$@" 2>&1 | tee "$log"
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
  rm -f "$log"
  local bad total
  bad="$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")"
  total="$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")"
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
}

step "set-up"
scripts/setup.sh

step "format and resources"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
python3 resources/make_icon.py --check

step "default build and tests"
cmake --preset default >/dev/null
cmake --build --preset default --parallel "$jobs"
run_ctest --preset default -LE e2e -j "$jobs"

step "end-to-end tests under Xvfb"
run_ctest --preset default -L e2e

step "unit tests under ASan and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan --parallel "$jobs"
run_ctest --preset asan -LE e2e -j "$jobs"

step "end-to-end tests under ASan and UBSan"
run_ctest --preset asan -L e2e

step "thread stress tests under TSan"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --parallel "$jobs"
run_ctest --preset tsan -L tsan
run_ctest --preset tsan -R '^threaded_e2e$'

if [ -x .ci/fuzz.sh ] || [ -f .ci/fuzz.sh ]; then
  step "fuzzing the picture readers"
  bash .ci/fuzz.sh
fi

for preset in mingw-i686 mingw-x86_64; do
  step "Windows cross-build: $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --parallel "$jobs"
  bash .ci/check-windows-exe.sh build/"$preset"/bin/*.exe
done

step "all checks passed"
echo "$passed passed, $failed failed"
