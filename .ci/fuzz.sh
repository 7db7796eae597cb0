#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) in their own
# build directory, against a libjpeg-turbo built here with the same
# instrumentation, and runs each for a bounded time from its committed seed
# corpus. Exits non-zero on any finding (crash, sanitizer report, leak,
# failed check, timeout); the input that caused it is left in the artifacts dir.
#
#   .ci/fuzz.sh [seconds-per-target]   (default 40; FUZZ_BUILD_DIR overrides build/fuzz)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-40}
build=${FUZZ_BUILD_DIR:-$root/build/fuzz}

# target, seed directories (colon-separated), dictionary, largest input
targets=(
  "jpeg_read_fuzz tests/data/jpeg fuzz/jpeg.dict 4096"
  "bmp_read_fuzz tests/data/bmp:fuzz/corpus/bmp_read fuzz/bmp.dict 16384"
  "jpeg_decode_fuzz tests/data/jpeg:tests/data/jpeg_decode:fuzz/corpus/jpeg_decode fuzz/jpeg.dict 16384"
)

# libjpeg-turbo from Debian's source package, configured as debian/rules
# configures it (SIMD on, the libjpeg 6.2 interface, arithmetic coding) with
# Debian's compiler flags, but built static with the fuzzer's coverage and
# the sanitizers, so the JPEG target explores the library's own edges.
# (Debian's _FORTIFY_SOURCE is left out: its checked copies would hide
# overflows from AddressSanitizer.)
jpeg_tree=$(bash "$root/scripts/libjpeg_source.sh" "$build/libjpeg-source")
jpeg_flags="$(dpkg-buildflags --get CFLAGS) -Wall -pedantic -fsanitize=fuzzer-no-link,address,undefined"
jpeg_flags+=" -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S "$jpeg_tree" -B "$build/libjpeg" -DCMAKE_C_COMPILER="${CC:-clang}" -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="$jpeg_flags" -DENABLE_SHARED=0 -DWITH_SIMD=1 -DWITH_JAVA=0 >/dev/null
cmake --build "$build/libjpeg" --target jpeg-static --parallel "$(nproc)" >/dev/null
mkdir -p "$build/libjpeg/include"
cp "$jpeg_tree"/{jpeglib.h,jmorecfg.h,jerror.h} "$build/libjpeg/jconfig.h" "$build/libjpeg/include/"

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER="${CXX:-clang++}" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DJPEG_INCLUDE_DIR="$build/libjpeg/include" \
  -DJPEG_LIBRARY="$build/libjpeg/libjpeg.a" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
for entry in "${targets[@]}"; do
  read -r target seeds dict max_len <<<"$entry"
  echo "---- $target for ${seconds}s"
  # New inputs go into a scratch corpus (the first directory), never into the
  # committed seeds.
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  rm -rf "$corpus" "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  dirs=()
  IFS=: read -r -a seed_dirs <<<"$seeds"
  for d in "${seed_dirs[@]}"; do
    [ -d "$root/$d" ] && dirs+=("$root/$d")
  done
  dict_arg=()
  [ -f "$root/$dict" ] && dict_arg=(-dict="$root/$dict")
  "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len="$max_len" \
    "${dict_arg[@]}" -artifact_prefix="$artifacts/" -print_final_stats=1 \
    "$corpus" "${dirs[@]}"
done
