#!/usr/bin/env bash
# The Debian package as a user gets it: cpack builds it from BUILD_DIR; its
# fields and file list are checked; it is unpacked into a scratch root (no
# chroot); each desktop entry is validated and its program started the way a
# menu starts it (its Exec, in its Path, both under the scratch root) on an
# X display: a backdrop program must find its picture (no "LoadImage:" line,
# no box, the sky shows the picture), and each ends with exit code 0 from
# Escape or, for rainbow_threaded, the close box.  The icons have their
# sizes (the SVG draws what the PNGs show), the AppStream metainfo is valid
# and names what the package holds, the manual pages render without a
# warning.  Also: `cmake --install` to another prefix writes entries that
# name that prefix.
#
#   package_test.sh BUILD_DIR [X_CLOSE]
set -uo pipefail
source "$(dirname "$0")/../e2e/lib.sh"
e2e_init package_test

build=${1:?usage: package_test.sh BUILD_DIR [X_CLOSE]}
x_close=${2:-}
title='draw simulated rainbow'
need_tools cpack dpkg-deb dpkg-shlibdeps desktop-file-validate xdotool import convert xwininfo \
  appstreamcli xmllint rsvg-convert man lexgrog
sizes='16 24 32 48 64 128 256'
programs='rainbow_bitmap rainbow_photo rainbow_plain rainbow_render rainbow_threaded'

expected_files=$({
  printf './usr/bin/%s\n' $programs
  printf './usr/share/applications/%s.desktop\n' rainbow_bitmap rainbow_photo rainbow_plain rainbow_threaded
  for size in $sizes; do echo "./usr/share/icons/hicolor/${size}x$size/apps/rainbow.png"; done
  echo ./usr/share/icons/hicolor/scalable/apps/rainbow.svg
  printf './usr/share/man/man1/%s.1.gz\n' $programs
  echo ./usr/share/metainfo/org.example.rainbow.metainfo.xml
  printf './usr/share/rainbow/%s\n' wfall.bmp wfall.jpg
} | LC_ALL=C sort)

# ---- the package
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed"
deb=$(ls "$work"/pkg/rainbow_*.deb 2>/dev/null)
[ -f "$deb" ] || fail "no rainbow_*.deb"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = rainbow ] || fail "Package: $(field Package)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] && [ -n "$(field Description)" ] || fail "no Maintainer or Description"
for lib in libc6 libsdl2-2.0-0 libpng16-16; do  # found by dpkg-shlibdeps, not listed by hand
  [[ ", $(field Depends)," == *", $lib "* ]] || fail "Depends lacks $lib: $(field Depends)"
done
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
[ "$files" = "$expected_files" ] || fail "files differ:"$'\n'"$(diff <(echo "$expected_files") <(echo "$files"))"
dpkg-deb -c "$deb" | awk '{ print $2, $6 }' | grep -v '^root/root ' && fail "files not owned by root"
echo "ok: $(basename "$deb"): fields, Depends ($(field Depends)), $(wc -l <<<"$files") files"

root=$work/root
dpkg -x "$deb" "$root" || fail "dpkg -x failed"

# ---- icons, metainfo, manual pages
icons=$root/usr/share/icons/hicolor
for size in $sizes; do
  got=$(identify -format '%m %wx%h %A' "$icons/${size}x$size/apps/rainbow.png")
  [[ $got =~ ^"PNG ${size}x$size "(True|Blend)$ ]] || fail "the ${size}x$size icon is '$got', not a PNG with alpha"
done
# The SVG, drawn at 64 pixels, shows what the 64-pixel PNG shows.
rsvg-convert -w 64 -h 64 "$icons/scalable/apps/rainbow.svg" -o "$work/svg.png" || fail "the SVG does not render"
rmse=$(compare -metric RMSE "$work/svg.png" "$icons/64x64/apps/rainbow.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
awk -v e="$rmse" 'BEGIN { exit !(e < 0.05) }' || fail "the SVG differs from the PNG icon (RMSE $rmse)"
echo "ok: icons at $sizes and an SVG of the same picture"

metainfo=$(ls "$root"/usr/share/metainfo/*.metainfo.xml)
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || fail "$(cat "$work/appstream.log")"
xpath() { xmllint --xpath "$1" "$metainfo" | tr ' ' '\n' | grep -v '^$'; }
for entry in $(xmllint --xpath '//launchable/text()' "$metainfo"); do
  [ -f "$root/usr/share/applications/$entry" ] || fail "metainfo launches $entry, which is not installed"
done
for binary in $(xpath '//provides/binary/text()'); do
  [ -x "$root/usr/bin/$binary" ] || fail "metainfo provides $binary, which is not installed"
done
[ "$(xpath 'string(//icon)')" = rainbow ] && [ -n "$(xpath '//screenshot/image/text()')" ] ||
  fail "metainfo: no icon or no screenshot"
echo "ok: $(basename "$metainfo") valid (appstreamcli validate --no-net)"

for program in $programs; do
  page=$root/usr/share/man/man1/$program.1.gz
  warnings=$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "$program.1: $warnings"
  [[ $(lexgrog "$page") == *": \"$program - "* ]] || fail "$program.1 is not the page of $program"
  [ "$(MANWIDTH=80 man -l "$page" 2>/dev/null | wc -l)" -gt 20 ] || fail "$program.1 says next to nothing"
done
echo "ok: five manual pages render without warnings"

# ---- the desktop entries
key() { sed -n "s/^$1=//p" "$2"; }
for entry in "$root"/usr/share/applications/*.desktop; do
  desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || fail "$(cat "$work/validate.log")"
  program=$(basename "$entry" .desktop)
  [ "$(key Exec "$entry")" = "/usr/bin/$program" ] || fail "$program: Exec=$(key Exec "$entry")"
  [ "$(key Icon "$entry")" = rainbow ] || fail "$program: Icon=$(key Icon "$entry")"
  [ "$(key Categories "$entry")" = 'Education;Science;' ] || fail "$program: Categories"
  [ -n "$(key Name "$entry")" ] && [ -n "$(key Comment "$entry")" ] || fail "$program: Name, Comment"
  case $program in
    rainbow_bitmap | rainbow_photo) want_path=/usr/share/rainbow ;;
    *) want_path="" ;;
  esac
  [ "$(key Path "$entry")" = "$want_path" ] || fail "$program: Path=$(key Path "$entry")"
done
echo "ok: four valid desktop entries"

# ---- each program started from its entry
ensure_display
mkdir "$work/home"

# The capture shows bows and, for a backdrop program ($1), a sky that is
# not black; looked for until it does, however slowly the machine draws.
drawn() {
  import -window "$window" "png:$work/shot.png" || return 1
  case $1 in
    rainbow_bitmap | rainbow_photo)
      # The sky above the bows (the top quarter) is the picture: not black.
      sky=$(convert "$work/shot.png" -crop "100%x25%+0+0" -format '%[fx:maxima.intensity]' info:)
      [ "$sky" != 0 ] || return 1
      ;;
  esac
  lit=$(convert "$work/shot.png" -fill white +opaque black -format '%[fx:mean]' info:)
  [ "$lit" != 0 ]
}
for entry in "$root"/usr/share/applications/*.desktop; do
  program=$(basename "$entry" .desktop)
  folder=$(key Path "$entry")
  folder=${folder:+$root$folder}
  start_program "$root$(key Exec "$entry")" "${folder:-$work/home}"  # a menu's default: home
  find_window "$title" || fail "$program: no window"
  sky=0 lit=0
  within 150 drawn "$program" || fail "$program: nothing drawn, or a black sky (sky $sky, lit $lit)"
  case $program in
    rainbow_bitmap | rainbow_photo)
      grep -q 'LoadImage:' "$work/program.log" && fail "$program: did not find its picture"
      xwininfo -root -tree | grep -q '"CreateFile"' && fail "$program: a CreateFile box"
      ;;
  esac
  if [ "$program" = rainbow_threaded ]; then  # it leaves Escape alone
    if [ -n "$x_close" ]; then "$x_close" "$window"; else xdotool windowfocus "$window" key alt+F4; fi
  else
    xdotool windowfocus "$window" 2>/dev/null
    xdotool key Escape
  fi
  wait_exit 150 || fail "$program: still running 15 s after it was told to end"
  [ "$status" -eq 0 ] || fail "$program: exit code $status"
  echo "ok: $program started from its entry, ended with 0"
done

# ---- another prefix, chosen when installing
prefix="$work/other prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || fail "cmake --install failed"
entry=$prefix/share/applications/rainbow_photo.desktop
desktop-file-validate "$entry" >"$work/validate.log" 2>&1 || fail "$(cat "$work/validate.log")"
[ "$(key Exec "$entry")" = "\"$prefix/bin/rainbow_photo\"" ] || fail "Exec=$(key Exec "$entry")"
[ "$(key Path "$entry")" = "$prefix/share/rainbow" ] && [ -f "$prefix/share/rainbow/wfall.jpg" ] ||
  fail "Path=$(key Path "$entry")"
echo "ok: cmake --install --prefix '$prefix' names it in the entries"
echo "package_test: PASS"
