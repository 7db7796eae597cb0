#!/usr/bin/env bash
# Builds the JPEG reader's fuzz target with clang (libFuzzer, ASan, UBSan) in
# its own build directory and runs it for a bounded time from the committed
# seed corpus. Exits non-zero on any finding (crash, sanitizer report, leak,
# failed check, timeout); the input that caused it is left in the artifacts dir.
#
#   .ci/fuzz.sh [seconds]        (default 60; FUZZ_BUILD_DIR overrides build/fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target jpeg_read_fuzz

# New inputs go into a scratch corpus (the first directory), never into the
# committed seeds.
corpus=$build/corpus
artifacts=$build/artifacts
rm -rf "$corpus" "$artifacts"
mkdir -p "$corpus" "$artifacts"

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
"$build/jpeg_read_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
  -dict="$root/fuzz/jpeg.dict" -artifact_prefix="$artifacts/" -print_final_stats=1 \
  "$corpus" "$root/tests/data/jpeg"
