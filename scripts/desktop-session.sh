# Sourced by the screenshot scripts: a private X server on a free display
# with a window manager, ended with whatever the script started as APP_PID
# when the script exits.
#
#   . scripts/desktop-session.sh
#   start_desktop 1024x768

XVFB_PID="" WM_PID="" APP_PID=""

stop_desktop() {
    for pid in $APP_PID $WM_PID $XVFB_PID; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}

# start_desktop WIDTHxHEIGHT: sets DISPLAY and returns once the server answers.
start_desktop() {
    N=90
    while [ -e "/tmp/.X$N-lock" ] || [ -e "/tmp/.X11-unix/X$N" ]; do N=$((N + 1)); done
    export DISPLAY=":$N"
    trap stop_desktop EXIT INT TERM
    Xvfb "$DISPLAY" -screen 0 "$1x24" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
    openbox >/dev/null 2>&1 &
    WM_PID=$!
    sleep 1
}
