#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: unit tests, the
# end-to-end tests under Xvfb, the Debian package, the unit and end-to-end
# tests again under ASan+UBSan, the thread stress tests and the threaded
# program's end-to-end test under TSan, the fuzzers for a bounded time, the
# format check, both Windows cross-builds and their zips, the 64-bit
# programs under Wine, the browser build's pages and the web backend's
# conformance tests in headless Chromium.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs="$(nproc)"
step() { printf '\n==== %s\n' "$*"; }

# Test runs go on past a failure: each adds its counts to the totals, and
# the script fails at the end if any failed.  Builds still stop it at once.
passed=0
failed=0
run_ctest() {
  local log
  log="$(mktemp)"
  ctest "$@" 2>&1 | tee "$log" || true
  local line
  line="$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)"
  rm -f "$log"
  if [ -z "$line" ]; then  # ctest itself failed: no count to add
    failed=$((failed + 1))
    return
  fi
  local bad total
  bad="$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")"
  total="$(sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/' <<<"$line")"
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
# A check that is not ctest's counts as one test (exit code 77: skipped).
run_check() {
  local rc=0
  "$@" || rc=$?
  case "$rc" in
    0) passed=$((passed + 1)) ;;
    77) echo "skipped: $*" ;;
    *) failed=$((failed + 1)) ;;
  esac
}

step "set-up"
scripts/setup.sh web-test

step "format and resources"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
python3 resources/make_icon.py --check

step "default build and tests"
cmake --preset default >/dev/null
cmake --build --preset default --parallel "$jobs"
run_ctest --preset default -LE 'e2e|package' -j "$jobs"

step "end-to-end tests under Xvfb"
run_ctest --preset default -L e2e

step "the Debian package: built, unpacked, started from its menu entries"
run_ctest --preset default -L package

step "unit tests under ASan and UBSan"
cmake --preset asan >/dev/null
cmake --build --preset asan --parallel "$jobs"
run_ctest --preset asan -LE 'e2e|package' -j "$jobs"

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
  rm -rf build/"$preset"/packages
  cpack --preset "$preset" >/dev/null
  bits=32
  [ "$preset" = mingw-x86_64 ] && bits=64
  bash .ci/check-windows-zip.sh build/"$preset"/packages/rainbow-*-win$bits.zip $bits
done

# Only the 64-bit build: this kernel runs no 32-bit programs.
step "the 64-bit Windows programs under Wine, from their zip"
unpacked=$(mktemp -d)
unzip -q build/mingw-x86_64/packages/rainbow-*-win64.zip -d "$unpacked"
run_check bash tests/wine/wine_e2e.sh "$unpacked"/rainbow-*-win64 build/default/bin/rainbow_render \
  build/default/bin/rainbow_x_close
rm -rf "$unpacked"

step "the browser build, its pages driven in headless Chromium"
cmake --preset web >/dev/null
cmake --build --preset web --parallel "$jobs"
for headers in "" --no-headers; do
  run_check /usr/bin/python3 tests/web/web_e2e.py $headers build/web/site \
    build/default/bin/rainbow_render build/default/bin/rainbow_stretch_ref
done
run_check /usr/bin/python3 tests/web/site_e2e.py build/web/site build/web/rainbow-web-*.zip
run_check /usr/bin/python3 tests/web/lab_e2e.py build/web/site

step "the web backend's conformance tests in headless Chromium"
cmake --build --preset web --parallel "$jobs" --target rainbow_web_conformance
run_check /usr/bin/python3 tests/web_conformance/run.py build/web/bin

step "totals"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
