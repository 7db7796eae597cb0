#!/usr/bin/env bash
# Checks cross-built Windows programs: GUI subsystem, only system DLLs imported
# (so each .exe runs on its own), icon group 303 holding one 32x32 256-colour
# image, and a version resource (what Explorer's properties show) naming the
# program, the product and the project's version.
# Usage: check-windows-exe.sh EXE...   Exit 1 on any failure.
set -u

objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}  # reads PE32 and PE32+ alike
windres=${WINDRES:-x86_64-w64-mingw32-windres}  # so does this

# The version CMake gives the project, as VERSIONINFO's four numbers.
version=$(sed -n 's/^project(rainbow VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")
IFS=. read -r v1 v2 v3 v4 <<<"$version"
numbers="${v1:-0}, ${v2:-0}, ${v3:-0}, ${v4:-0}"

# DLLs every Windows installation has; anything else would have to ship beside the .exe.
system_dll='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comctl32|comdlg32|shlwapi|winmm|ws2_32|ntdll|msvcrt|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$'

# A 32x32 8bpp icon image: 40-byte header, 256 palette entries, 32x32 index bytes,
# 32 mask rows of 4 bytes.  A group directory of one entry: 6 + 14 bytes.
icon_image_size=$((40 + 256 * 4 + 32 * 32 + 32 * 4))
icon_group_size=$((6 + 14))

[ $# -gt 0 ] || { echo "usage: $0 EXE..." >&2; exit 2; }

status=0
fail() {
  echo "FAIL $exe: $*" >&2
  bad=1
  status=1
}

for exe in "$@"; do
  bad=0
  if ! dump=$("$objdump" -p "$exe" 2>&1); then
    fail "objdump cannot read it: $dump"
    continue
  fi

  # "Subsystem  00000002  (Windows GUI)"
  subsystem=$(awk '$1 == "Subsystem" { print $2 }' <<<"$dump")
  [ "$subsystem" = 00000002 ] || fail "subsystem is '${subsystem:-none}', not 2 (Windows GUI)"

  dlls=$(awk '/^\tDLL Name: / { print $3 }' <<<"$dump")
  [ -n "$dlls" ] || fail "no DLL imports found"
  for dll in $dlls; do
    lower=$(tr '[:upper:]' '[:lower:]' <<<"$dll")
    [[ $lower =~ $system_dll ]] || fail "imports $dll, which is not a system DLL"
  done

  # One "type name size" line per resource, from the tree objdump prints:
  # type entries are indented 3 spaces after the offset, name entries 5.
  resources=$(awk '
    /Entry: ID: / {
      indent = index($0, "Entry") - length($1) - 1
      id = $4; sub(/,$/, "", id)
      if (indent == 3) type = id; else if (indent == 5) name = id
    }
    /Leaf: / { for (i = 1; i <= NF; i++) if ($i == "Size:") { size = $(i + 1); sub(/,$/, "", size) }
               print type, name, size }' <<<"$dump")
  group=$(awk '$1 == "0x00000e" && $2 == "0x00012f" { print $3 }' <<<"$resources")  # RT_GROUP_ICON 303
  if [ -z "$group" ]; then
    fail "no icon group 303"
  elif [ $((group)) -ne $icon_group_size ]; then
    fail "icon group 303 is $((group)) bytes, not the $icon_group_size of a single image"
  fi
  images=$(awk '$1 == "0x000003" { print $3 }' <<<"$resources")  # RT_ICON
  [ "$(wc -w <<<"$images")" -eq 1 ] && [ $((images)) -eq $icon_image_size ] ||
    fail "icon images of sizes '${images//$'\n'/ }', not one of $icon_image_size bytes (32x32, 256 colours)"

  # The version resource, read back as windres decompiles it:
  #   FILEVERSION 0, 1, 0, 0   /   VALUE "FileDescription", "Rainbow"
  if ! rc=$("$windres" -i "$exe" -O rc 2>&1); then
    fail "windres cannot read its resources: $rc"
    continue
  fi
  value() { sed -n "s/^ *VALUE \"$1\", \"\(.*\)\"\$/\1/p" <<<"$rc"; }
  program=$(basename "$exe" .exe)
  grep -q '^ *FILEVERSION '"$numbers"'$' <<<"$rc" && grep -q '^ *PRODUCTVERSION '"$numbers"'$' <<<"$rc" ||
    fail "no version resource of version $numbers"
  for want in "FileVersion=$version" "ProductVersion=$version" "ProductName=rainbow" \
              "InternalName=$program" "OriginalFilename=$program.exe"; do
    [ "$(value "${want%%=*}")" = "${want#*=}" ] || fail "version resource: ${want%%=*} is '$(value "${want%%=*}")', not '${want#*=}'"
  done
  [ -n "$(value FileDescription)" ] || fail "version resource: no FileDescription"

  [ $bad -ne 0 ] || echo "ok   $exe: GUI subsystem; imports ${dlls//$'\n'/ }; icon group 303, one 32x32 8bpp image; version $version, \"$(value FileDescription)\""
done
exit $status
