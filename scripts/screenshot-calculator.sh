#!/bin/sh
# Makes docs/interest-schedule.png, the loan calculator after a Compute with
# its amortization schedule open beside it, for the README: starts a private
# X server with a window manager, types a loan as money ("$250,000"), computes
# the payment, opens View > Amortization Schedule (Ctrl+T), scrolls to the
# totals and takes the picture. Stops only what it started.
#
#   scripts/screenshot-calculator.sh [build-dir] [output.png]
#
# Needs Xvfb, openbox, xdotool and ImageMagick (make deps installs them).
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
OUT=${2:-$ROOT/docs/interest-schedule.png}
INTEREST=$BUILD/calculator/interest
[ -x "$INTEREST" ] || { echo "no $INTEREST: build first (make build)" >&2; exit 1; }

. "$ROOT/scripts/desktop-session.sh"
start_desktop 1024x768

# The money texts follow the locale; the picture shows the program's own
# conventions whatever the machine's locale is.
LC_ALL=C.UTF-8 "$INTEREST" >/dev/null 2>&1 &
APP_PID=$!

window() { # title -> the first window of the program with that title
    for _ in $(seq 100); do
        w=$(xdotool search --all --pid "$APP_PID" --name "$1" 2>/dev/null | head -n 1) &&
            [ -n "$w" ] && { echo "$w"; return 0; }
        sleep 0.1
    done
    echo "the window '$1' did not appear" >&2
    exit 1
}

CALC=$(window "Brenn")
xdotool windowmove --sync "$CALC" 8 30
xdotool windowactivate --sync "$CALC" >/dev/null 2>&1 || true
sleep 0.3

# The focus starts in Loan Amount with its text selected; Tab selects the
# next field's text, so typing replaces each.
xdotool type --delay 40 '$250,000'
xdotool key Tab
xdotool type --delay 40 "6.5"
xdotool key Tab
xdotool type --delay 40 "360"
# Tab past the shut payment field to Reset, then to Compute, and press it.
xdotool key Tab Tab space
sleep 0.3
xdotool key ctrl+t

SCHEDULE=$(window "Amortization Schedule")
xdotool windowsize --sync "$SCHEDULE" 560 560
xdotool windowmove --sync "$SCHEDULE" 456 30
xdotool windowactivate --sync "$SCHEDULE" >/dev/null 2>&1 || true
sleep 0.3
# Down to the last months and the totals row with the mouse wheel, which
# scrolls without selecting anything.
eval "$(xdotool getwindowgeometry --shell "$SCHEDULE")"
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
xdotool click --repeat 150 --delay 5 5
xdotool mousemove 1000 700
sleep 0.5

mkdir -p "$(dirname "$OUT")"
import -window root -crop 1024x620+0+0 +repage -strip PNG24:"$OUT"
echo "wrote $OUT ($(wc -c <"$OUT") bytes)"
