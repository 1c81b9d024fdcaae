#!/bin/bash
# The Debian package of `make deb`, built by CPack into a temporary folder:
# lintian finds no error and no warning in it, and it holds both programs
# with their desktop files.
# Usage: package_test.sh BUILD_DIR
set -u
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" -D CPACK_OUTPUT_FILE_PREFIX="$out" >"$out/cpack.log" 2>&1) \
    || { cat "$out/cpack.log"; echo "FAIL: cpack"; exit 1; }
deb=$(ls "$out"/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "FAIL: no package"; exit 1; }
failures=0
contents=$(dpkg-deb -c "$deb")
for f in ./usr/bin/Zelmar ./usr/bin/interest ./usr/share/applications/org.brennstolv.zelmar.desktop \
         ./usr/share/man/man1/Zelmar.1.gz ./usr/share/doc/brenns-tolv/copyright; do
    grep -q " $f\$" <<<"$contents" || { echo "FAIL: the package lacks $f"; failures=$((failures + 1)); }
done
if ! report=$(lintian --fail-on error,warning "$deb" 2>&1); then
    echo "$report"
    echo "FAIL: lintian"
    failures=$((failures + 1))
fi
[ "$failures" -eq 0 ] && echo "package: lintian clean, contents complete"
exit $((failures > 0))
