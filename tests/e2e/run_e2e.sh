#!/bin/bash
# Runs one end-to-end driver script against a shipped program: a private D-Bus
# session (dbus-run-session) holding a private X server (Xvfb, on a display
# number it picks free itself), a window manager (openbox) and the
# accessibility bus, then the driver under Debian's own python3, where the
# pyatspi bindings live.
#
# Usage: run_e2e.sh DRIVER.py [DRIVER ARGS...]
# Exit status: the driver's; 124 when the time limit (E2E_TIME_LIMIT seconds,
# default 90) runs out. Every process started here is ended here, on success,
# failure, timeout or interrupt alike.
set -u

time_limit=${E2E_TIME_LIMIT:-90}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

find_bus_launcher() {
    local candidate
    for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
        if [ -x "$candidate" ]; then
            echo "$candidate"
            return 0
        fi
    done
    return 1
}

if [ "${1:-}" != "--in-session" ]; then
    if [ $# -lt 1 ]; then
        echo "usage: $0 DRIVER.py [ARGS...]" >&2
        exit 2
    fi
    missing=""
    for tool in Xvfb openbox dbus-run-session dbus-send xdotool timeout /usr/bin/python3; do
        command -v "$tool" >/dev/null 2>&1 || missing="$missing $tool"
    done
    find_bus_launcher >/dev/null || missing="$missing at-spi-bus-launcher"
    if [ -z "$missing" ] && ! /usr/bin/python3 -E -s -c 'import pyatspi, PIL' 2>/dev/null; then
        missing="$missing python3-pyatspi/python3-pil"
    fi
    if [ -n "$missing" ]; then
        echo "end-to-end test cannot run, missing:$missing (run scripts/install-deps.sh)" >&2
        exit 1
    fi
    # timeout signals its whole process group, which it makes its own: the
    # session bus, the X server, the window manager, the driver and the
    # program all get the signal, and the session's trap below cleans up.
    timeout -k 10 "$time_limit" dbus-run-session -- bash "${BASH_SOURCE[0]}" --in-session "$@"
    status=$?
    if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
        echo "FAIL: end-to-end run exceeded its time limit of ${time_limit}s" >&2
        status=124
    fi
    exit "$status"
fi
shift

# --- inside the private D-Bus session -------------------------------------

work=$(mktemp -d "${TMPDIR:-/tmp}/e2e.XXXXXX")
pids=()
status=1

cleanup() {
    local pid waited
    trap - EXIT TERM INT HUP
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${pids[i]}" 2>/dev/null
    done
    # Give each up to 3 s to go, then force it.
    for pid in "${pids[@]}"; do
        waited=0
        while kill -0 "$pid" 2>/dev/null && [ $waited -lt 30 ]; do
            sleep 0.1
            waited=$((waited + 1))
        done
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'status=124; exit' TERM INT HUP

# Polls a command until it succeeds, for at most $2 seconds; a watched
# process ($3) that dies meanwhile ends the wait at once.
wait_until() {
    local what=$1 seconds=$2 watched=$3
    shift 3
    local tries=$((seconds * 10))
    while ! "$@" >/dev/null 2>&1; do
        if [ -n "$watched" ] && ! kill -0 "$watched" 2>/dev/null; then
            echo "FAIL: $what: the process ended before it was ready" >&2
            return 1
        fi
        tries=$((tries - 1))
        if [ $tries -le 0 ]; then
            echo "FAIL: $what not ready after ${seconds}s" >&2
            return 1
        fi
        sleep 0.1
    done
}

show_logs() {
    local log
    for log in "$work"/*.log; do
        [ -s "$log" ] || continue
        echo "--- $(basename "$log")" >&2
        tail -n 20 "$log" >&2
    done
}

# The accessibility bus keeps its socket under XDG_RUNTIME_DIR; a private one
# keeps parallel runs apart.
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
# Nothing may point the programs or the driver at another accessibility bus.
unset AT_SPI_BUS_ADDRESS

# The X server on a display number drawn from 100-899, away from the low
# numbers people type by hand. The server takes a number by creating its lock
# file, so two runs cannot both get one: a server that finds it taken exits,
# and the next number is tried. -displayfd writes the number once the server
# accepts connections. The screen size fixes the explorer's canvas at
# 768 x 576.
display=""
for attempt in $(seq 1 20); do
    candidate=$((100 + (RANDOM + $$ + attempt * 37) % 800))
    [ -e "/tmp/.X${candidate}-lock" ] && continue
    Xvfb ":$candidate" -displayfd 3 -screen 0 1024x768x24 -dpi 96 -nolisten tcp -noreset \
        3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    if wait_until "X server on :$candidate" 15 "${pids[-1]}" \
        test -s "$work/display" 2>/dev/null; then
        display=$candidate
        break
    fi
    kill -TERM "${pids[-1]}" 2>/dev/null
    wait "${pids[-1]}" 2>/dev/null
    unset 'pids[-1]'
done
if [ -z "$display" ]; then
    echo "FAIL: no X server could be started on a free display" >&2
    show_logs
    exit
fi
export DISPLAY=":$display"

# The accessibility bus: started here rather than left to D-Bus activation so
# that it is up, and answering, before the program asks for it.
"$(find_bus_launcher)" --launch-immediately >"$work/at-spi.log" 2>&1 &
pids+=($!)
if ! wait_until "accessibility bus" 15 "${pids[-1]}" \
    dbus-send --session --print-reply --reply-timeout=2000 --dest=org.a11y.Bus \
    /org/a11y/bus org.a11y.Bus.GetAddress; then
    show_logs
    exit
fi

# The window manager runs its start-up command once it manages the screen.
openbox --sm-disable --startup "touch $work/wm-ready" >"$work/openbox.log" 2>&1 &
pids+=($!)
if ! wait_until "window manager" 15 "${pids[-1]}" test -e "$work/wm-ready"; then
    show_logs
    exit
fi

echo "e2e: display $DISPLAY, accessibility bus up, window manager up"
# -B: no bytecode left beside the sources. -E -s: nothing from the caller's
# Python set-up (PYTHONPATH, user site) may shadow the system's bindings.
/usr/bin/python3 -B -E -s "$@" --time-limit "$((time_limit - 10))"
status=$?
[ "$status" -eq 0 ] || show_logs
exit
