#!/bin/sh
# Installs the Debian packages the build, the tests and the programs need,
# asking apt only for what is missing. Runs apt through sudo when not root.
set -eu

PACKAGES="cmake ninja-build g++ make qt6-base-dev libgl-dev libgtest-dev libgmock-dev \
libbenchmark-dev libmpfr-dev libgmp-dev zlib1g-dev xvfb openbox xdotool imagemagick \
dbus-daemon dbus-bin dbus-x11 at-spi2-core python3-pyatspi gir1.2-atspi-2.0 python3-pil wmctrl"
# The command line's shard test, the installed files' validators, the package.
PACKAGES="$PACKAGES parallel desktop-file-utils appstream lintian dpkg-dev fakeroot file gzip \
man-db groff-base"
# The input tests post events through the window system's queue (Qt's
# platform interface headers).
PACKAGES="$PACKAGES qt6-base-private-dev"
# The fuzz build (clang with libFuzzer and its sanitizer runtimes) and the test scripts.
PACKAGES="$PACKAGES clang libclang-rt-14-dev python3"

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi
echo "Installing:$missing"
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $missing
