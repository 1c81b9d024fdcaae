#!/bin/sh
# Makes docs/zelmar.png, the explorer after a render, for the README: starts
# a private X server with a window manager, renders the start view, frames a
# zoom with the mouse, renders that, and takes the picture. Then
# docs/zelmar-exploring.png: a view 4e-7 wide at 4096 iterations, typed into
# the fields, with the status line under the canvas. Stops only what it
# started.
#
# Last docs/zelmar-deep.png: a view 4e-100 wide about the boundary point c = i
# at 2000 iterations, drawn by deep zoom.
#
#   scripts/screenshot.sh [build-dir] [output.png] [exploring.png] [deep.png]
#
# Needs Xvfb, openbox, xdotool and ImageMagick (make deps installs them).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
OUT=${2:-$ROOT/docs/zelmar.png}
OUT_DEEP=${3:-$ROOT/docs/zelmar-exploring.png}
OUT_DEEPER=${4:-$ROOT/docs/zelmar-deep.png}
ZELMAR=$BUILD/explorer/Zelmar
[ -x "$ZELMAR" ] || { echo "no $ZELMAR: build first (make build)" >&2; exit 1; }

. "$ROOT/scripts/desktop-session.sh"
# A 1024 x 768 screen: the canvas is 768 x 576.
start_desktop 1024x768

"$ZELMAR" >/dev/null 2>&1 &
APP_PID=$!
WIN=""
for _ in $(seq 100); do
    WIN=$(xdotool search --pid "$APP_PID" --name "Brenn" 2>/dev/null | head -n 1) && [ -n "$WIN" ] && break
    sleep 0.1
done
[ -n "$WIN" ] || { echo "the explorer window did not appear" >&2; exit 1; }
xdotool windowactivate --sync "$WIN" >/dev/null 2>&1 || true
sleep 0.5

# The render has finished when the screen stops changing for a while.
wait_still() {
    last="" same=0
    for _ in $(seq 240); do
        now=$(import -window root rgb:- | md5sum)
        if [ "$now" = "$last" ]; then same=$((same + 1)); else same=0; fi
        [ "$same" -ge 3 ] && return 0
        last=$now
        sleep 0.5
    done
    echo "the render did not finish" >&2
    exit 1
}

# The canvas's top edge on the screen: the first white row from the top at
# the left edge (title bar and menu bar are not white; the empty canvas is).
CANVAS_Y=$(import -window root -crop 1x300+2+0 +repage txt:- |
           awk -F'[,:]' '/#FFFFFF/ { print $2; exit }')
[ -n "$CANVAS_Y" ] || { echo "the canvas was not found on the screen" >&2; exit 1; }

xdotool key alt+g
wait_still

# Frame the valley between the main body and the bulb on its left with a
# left-button drag, corner to corner, then render it.
drag() { # x1 y1 x2 y2, canvas pixels
    xdotool mousemove "$1" $(($2 + CANVAS_Y))
    xdotool mousedown 1
    steps=8
    for i in $(seq $steps); do
        xdotool mousemove $(($1 + ($3 - $1) * i / steps)) $(($2 + CANVAS_Y + ($4 - $2) * i / steps))
        sleep 0.05
    done
    xdotool mouseup 1
}
drag 280 261 340 306
sleep 0.3
xdotool key alt+g
wait_still

mkdir -p "$(dirname "$OUT")"
import -window root -resize 75% -strip PNG24:"$OUT"
echo "wrote $OUT ($(wc -c <"$OUT") bytes)"

# Options > Iterations...: 4096.
xdotool key alt+o
sleep 0.3
xdotool key i
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 4096
xdotool key Return
sleep 0.3

# A field takes the focus with a click; its whole text is then selected, so
# typing replaces it. Fields by their order from the top, beside the canvas.
field() { # index (1 = Left ... 4 = Top) text
    FIELD_X=$(( (1024 + 768) / 2 ))
    FIELD_Y=$(( CANVAS_Y + ($1 - 1) * 30 + 22 ))
    [ "$1" -ge 3 ] && FIELD_Y=$((FIELD_Y + 10))
    [ "$1" -ge 5 ] && FIELD_Y=$((FIELD_Y + 10))
    xdotool mousemove "$FIELD_X" "$FIELD_Y" click 1
    sleep 0.2
    xdotool key ctrl+a
    xdotool type --delay 10 -- "$2"
    xdotool key Tab
    sleep 0.2
}
# 4e-7 by 3e-7 about -0.743643887037151 + 0.131825904205330i; with the 4:3
# lock the Top field settles the left and right edges about their centre.
field 1 -0.743643887237151
field 2 -0.743643886837151
field 3 0.13182590405533
field 4 0.13182590435533
xdotool key alt+g
wait_still
# The pointer over the canvas, for the status line's coordinates.
xdotool mousemove 500 $((CANVAS_Y + 200))
sleep 0.5
import -window root -resize 75% -strip PNG24:"$OUT_DEEP"
echo "wrote $OUT_DEEP ($(wc -c <"$OUT_DEEP") bytes)"

# 4e-100 by 3e-100 about c = i. The Width field first: from then on the
# view is deep and the fields take every digit; with the lock, the Top and
# Bottom fields typed last settle the left and right edges.
xdotool key alt+o
sleep 0.3
xdotool key i
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 2000
xdotool key Return
sleep 0.3
field 5 4e-100
field 1 -2e-100
field 2 2e-100
field 4 "1.$(printf '0%.0s' $(seq 99))15"
field 3 "0.$(printf '9%.0s' $(seq 99))85"
xdotool key alt+g
wait_still
xdotool mousemove 500 $((CANVAS_Y + 200))
sleep 0.5
import -window root -resize 75% -strip PNG24:"$OUT_DEEPER"
echo "wrote $OUT_DEEPER ($(wc -c <"$OUT_DEEPER") bytes)"
