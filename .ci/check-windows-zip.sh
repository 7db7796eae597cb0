#!/usr/bin/env bash
# Checks a Windows zip made by cpack: one folder holding exactly the four
# programs, wfall.bmp, wfall.jpg and README.txt; each .exe built for the
# zip's word size and passing check-windows-exe.sh; the pictures readable as
# what their names say; the README in Windows line ends, naming every
# program and how each ends.
#
#   check-windows-zip.sh ZIP 32|64      Exit 1 on any failure.
set -euo pipefail

zip=${1:?usage: check-windows-zip.sh ZIP 32|64}
bits=${2:?usage: check-windows-zip.sh ZIP 32|64}
here=$(cd "$(dirname "$0")" && pwd)
case $bits in
  32) format=pei-i386 ;;
  64) format=pei-x86-64 ;;
  *) echo "usage: check-windows-zip.sh ZIP 32|64" >&2; exit 2 ;;
esac

status=0
fail() {
  echo "FAIL $(basename "$zip"): $*" >&2
  status=1
}

folder=$(basename "$zip" .zip)
[[ $folder == rainbow-*-win$bits ]] || fail "named $folder.zip, not rainbow-<version>-win$bits.zip"
programs="rainbow_plain.exe rainbow_threaded.exe rainbow_bitmap.exe rainbow_photo.exe"
want=$(printf "$folder/%s\n" $programs wfall.bmp wfall.jpg README.txt | sort)
have=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
[ "$have" = "$want" ] || fail "holds"$'\n'"$have"$'\n'"instead of"$'\n'"$want"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip" -d "$work"
dir=$work/$folder

exes=()
for exe in $programs; do
  [ -f "$dir/$exe" ] || continue
  exes+=("$dir/$exe")
  got=$(x86_64-w64-mingw32-objdump -f "$dir/$exe" | sed -n 's/.*file format //p')
  [ "$got" = "$format" ] || fail "$exe is $got, not $format"
done
[ ${#exes[@]} -eq 0 ] || bash "$here/check-windows-exe.sh" "${exes[@]}" >/dev/null || fail "check-windows-exe.sh"

[[ $(identify -format %m "$dir/wfall.bmp" 2>/dev/null) == BMP* ]] || fail "wfall.bmp is not a BMP"
[ "$(identify -format %m "$dir/wfall.jpg" 2>/dev/null)" = JPEG ] || fail "wfall.jpg is not a JPEG"

readme=$dir/README.txt
if [ -f "$readme" ]; then
  lines=$(wc -l <"$readme")
  [ "$(grep -c $'\r$' "$readme")" = "$lines" ] || fail "README.txt has lines without CR LF"
  for word in $programs Escape "Alt+F4" "$bits-bit"; do
    grep -qF "$word" "$readme" || fail "README.txt never mentions $word"
  done
fi

[ $status -ne 0 ] || echo "ok   $(basename "$zip"): $folder/ with four $format programs, both pictures, README.txt"
exit $status
