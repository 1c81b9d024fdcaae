#!/bin/bash
# `cmake --install` into a temporary prefix: both programs, a menu entry, the
# hicolor icons (SVG and PNGs of the usual sizes), AppStream metainfo and a
# manual page each; the desktop entries and metainfo pass their validators
# with nothing to say, the manual pages format without a warning, and the
# installed explorer draws a picture with no display.
# Usage: install_test.sh BUILD_DIR
set -u
build=$1
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "FAIL: cmake --install"; exit 1; }

expected=(bin/Zelmar bin/interest
    share/man/man1/Zelmar.1.gz share/man/man1/interest.1.gz
    share/doc/brenns-tolv/copyright share/doc/brenns-tolv/changelog.gz)
for id in org.brennstolv.zelmar org.brennstolv.interest; do
    expected+=(share/applications/$id.desktop share/metainfo/$id.metainfo.xml
        share/icons/hicolor/scalable/apps/$id.svg)
    for size in 16 22 24 32 48 64 128 256; do
        expected+=(share/icons/hicolor/${size}x${size}/apps/$id.png)
    done
done
for f in "${expected[@]}"; do
    [ -s "$prefix/$f" ] || fail "missing $f"
done
for f in "$prefix"/share/icons/hicolor/*x*/apps/*.png; do
    size=$(basename "$(dirname "$(dirname "$f")")")
    file "$f" | grep -q "PNG image data, ${size/x/ x }," || fail "$f is not a ${size} PNG"
done
for f in "$prefix"/share/icons/hicolor/scalable/apps/*.svg; do
    python3 -c 'import sys, xml.etree.ElementTree as E; r = E.parse(sys.argv[1]).getroot(); sys.exit(r.tag != "{http://www.w3.org/2000/svg}svg")' "$f" \
        || fail "$f is not an SVG document"
done

for f in "$prefix"/share/applications/*.desktop; do
    out=$(desktop-file-validate "$f" 2>&1) || fail "desktop-file-validate $f"
    [ -z "$out" ] || fail "desktop-file-validate $f: $out"
done
out=$(appstreamcli validate --no-net --pedantic "$prefix"/share/metainfo/*.xml 2>&1) \
    || fail "appstreamcli validate: $out"
echo "$out" | grep -qE '^ *[EWIP]: ' && fail "appstreamcli validate has remarks: $out"
for f in "$prefix"/share/man/man1/*.1.gz; do
    out=$(LC_ALL=C.UTF-8 man --warnings -E UTF-8 -l -Tutf8 "$f" 2>&1 >/dev/null)
    [ -z "$out" ] || fail "man page $f: $out"
done
LC_ALL=C.UTF-8 man -l "$prefix/share/man/man1/Zelmar.1.gz" 2>/dev/null | grep -q -- "--shard" \
    || fail "the manual page does not describe --shard"

"$prefix/bin/Zelmar" --render "$prefix/check.png" --size 32x24 --quiet \
    || fail "the installed Zelmar cannot draw without a display"
file "$prefix/check.png" | grep -q "PNG image data, 32 x 24" || fail "no picture from the installed Zelmar"

[ "$failures" -eq 0 ] && echo "install: all checks passed"
exit $((failures > 0))
