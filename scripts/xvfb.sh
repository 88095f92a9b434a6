# A private virtual X display and polling with a deadline, shared by scripts/run.sh,
# bench/fps.sh and the end-to-end tests. Source it; it defines functions only.

# Polls `command...` every 50 ms until it succeeds; false after `seconds`.
poll_until() {
    local seconds=$1
    shift
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# start_virtual_display GEOMETRY WORKDIR: a new Xvfb on a display number it picks itself (no
# clash with parallel runs); sets XVFB_PID and exports DISPLAY. False when it did not start.
start_virtual_display() {
    local geometry=$1 workdir=$2
    local fdfile="$workdir/display.$RANDOM"
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "${geometry}x24" -nolisten tcp -noreset 3>"$fdfile" \
        >"$workdir/xvfb.log" 2>&1 &
    XVFB_PID=$!
    poll_until 20 test -s "$fdfile" || return 1
    export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
}

stop_virtual_display() {
    if [ -n "${XVFB_PID:-}" ]; then
        kill "$XVFB_PID" 2>/dev/null || true
        wait "$XVFB_PID" 2>/dev/null || true
        XVFB_PID=""
    fi
}

# True while the saver's window is shown.
saver_shown() { timeout 5 xdotool search --onlyvisible --name '^Lumivex GL$' >/dev/null 2>&1; }
