#!/usr/bin/env bash
# lumivex-gl --idle 3 on one desktop of the table below (the second argument). On each, the
# watcher names where it learns of idleness, and a second watcher of the session says that one
# runs and ends with 0; while keys keep coming no saver starts; the real saver, a child
# `lumivex-gl /s` of the watcher, starts about 3 s after the last key and draws (its LUMIVEX_FPS
# report counts its passes); a key ends it, and the next idle period starts it again. Then, by
# desktop: on X11, where nothing else serves org.freedesktop.ScreenSaver, no saver starts while a
# client holds an inhibition (one of its two lifted with UnInhibit, the other when the client
# leaves the bus), and one starts once both are lifted; a saver that crashes is told once and the
# watcher goes on; the X server going away ends the watcher with 1 and one line, its saver with
# it. On GNOME and sway SIGTERM ends the watcher with 0, its saver with it. KWin takes no key the
# test can send: there the saver starts about 3 s after the watcher and draws until SIGTERM ends
# the watcher and it.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
desktop=${2:?which desktop: x11, mutter, sway or kwin}
IDLE=3
WATCHER_PID="" WATCHER_OUT="$E2E_TMP/watcher.out" SESSION_BUS_PID="" DESKTOP_PID="" CLIENT_PID=""

# desktop | what the watcher says it watches | how a key is pressed
desktops=(
    "x11|the X display :[0-9]+'s IDLETIME counter|send key space"
    "mutter|GNOME's idle monitor|client_says key 57"
    "sway|org_kde_kwin_idle|wl_input space"
    "kwin|ext_idle_notifier_v1|"
)

# A session bus of the test's own.
start_session_bus() {
    dbus-daemon --session --nofork --nopidfile --address="unix:path=$E2E_TMP/bus" \
        --print-address=3 3>"$E2E_TMP/bus.address" 2>>"$E2E_TMP/bus.log" &
    SESSION_BUS_PID=$!
    poll_until 10 test -s "$E2E_TMP/bus.address" || fail "the session bus did not start"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
}

# A client of that bus (idle_bus.py) that stays connected: client_says ORDER [ARG] answers in
# $ANSWER.
start_client() {
    coproc CLIENT { PATH=/usr/bin:/bin exec python3 "$E2E_DIR/idle_bus.py" 2>>"$E2E_TMP/client.log"; }
    CLIENT_PID=$CLIENT_PID
}
client_says() {
    echo "$*" >&"${CLIENT[1]}"
    read -r -t 10 ANSWER <&"${CLIENT[0]}" || fail "idle_bus.py did not answer '$*': $(cat "$E2E_TMP/client.log")"
}
stop_client() {
    [ -n "$CLIENT_PID" ] || return 0
    eval "exec ${CLIENT[1]}>&-" 2>/dev/null || true
    wait "$CLIENT_PID" 2>/dev/null || true
    CLIENT_PID=""
}

start_x11() {
    start_xvfb 640x480
    start_session_bus
}

# A compositor on the test's bus with its socket lumivex-idle: start_desktop NAME COMMAND...
start_desktop() {
    local name=$1
    shift
    unset DISPLAY
    start_session_bus
    "$@" >>"$E2E_TMP/$name.log" 2>&1 &
    DESKTOP_PID=$!
    export WAYLAND_DISPLAY=lumivex-idle
    poll_until 30 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || skip "$name did not start: $(tail -n 3 "$E2E_TMP/$name.log")"
}

# GNOME's compositor, headless; keys through its remote desktop.
start_mutter() {
    command -v mutter >/dev/null || skip "mutter is not installed (scripts/install-deps.sh)"
    start_desktop mutter mutter --headless --wayland --no-x11 --virtual-monitor 800x600 \
        --wayland-display=lumivex-idle
    start_client
    client_says remote-desktop
}

# sway 1.7 offers org_kde_kwin_idle only. No session bus: the session is the display.
start_sway_session() {
    unset DBUS_SESSION_BUS_ADDRESS
    start_sway 640x480+0+0
}

# KDE's compositor. The packaged kwin_wayland carries a file capability a sandbox may not grant;
# a copy (its name must still end in kwin_wayland) runs without it.
start_kwin() {
    command -v kwin_wayland >/dev/null || skip "kwin_wayland is not installed (scripts/install-deps.sh)"
    cp "$(command -v kwin_wayland)" "$E2E_TMP/kwin_wayland"
    start_desktop kwin "$E2E_TMP/kwin_wayland" --virtual --width 800 --height 600 --no-lockscreen \
        --socket lumivex-idle
}

idle_cleanup() {
    local status=$?
    [ -z "$WATCHER_PID" ] || stop_tree "$WATCHER_PID"
    stop_client
    [ -z "$DESKTOP_PID" ] || stop_tree "$DESKTOP_PID"
    [ -z "$SESSION_BUS_PID" ] || stop_tree "$SESSION_BUS_PID"
    [ "$status" -eq 0 ] || [ ! -f "$WATCHER_OUT" ] || { echo "--- watcher output:" && cat "$WATCHER_OUT"; } >&2
    (exit "$status")
    e2e_cleanup
}
trap idle_cleanup EXIT

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
saver_child() { pgrep -P "$WATCHER_PID" -f ' /s$' | head -n 1; }
no_saver_child() { [ -z "$(saver_child)" ]; }
saver_started() { ! no_saver_child; }
frame_reports() { grep -c 'frames in' "$WATCHER_OUT" || true; }
reported_since() { [ "$(frame_reports)" -gt "$1" ]; }

# The saver starts between 3 s and 5.5 s after the last input (or WHAT); its pid in CHILD:
# expect_saver_after SINCE_MS [WHAT].
expect_saver_after() {
    local since=$1 what=${2:-the last input}
    poll_until 15 saver_started || fail "no saver 15 s after $what"
    local took=$(($(now_ms) - since))
    CHILD=$(saver_child)
    [ "$took" -ge $((IDLE * 1000 - 300)) ] && [ "$took" -le $((IDLE * 1000 + 2500)) ] ||
        fail "the saver started $took ms after $what"
    [[ "$(ps -o args= -p "$CHILD")" == *lumivex-gl\ /s ]] || fail "the child is $(ps -o args= -p "$CHILD")"
    note "the saver started $took ms after $what"
}

# The saver that ended reported passes drawn, after REPORTS reports: expect_passes REPORTS HOW.
expect_passes() {
    poll_until 5 reported_since "$1" || fail "the saver reported no passes"
    local frames
    frames=$(grep 'frames in' "$WATCHER_OUT" | tail -n 1 | sed -E 's/.* ([0-9]+) frames in.*/\1/')
    [ "$frames" -gt 0 ] || fail "the saver drew nothing: $(grep 'frames in' "$WATCHER_OUT" | tail -n 1)"
    note "$2 ended it after $frames passes"
}

# A key ends the saver (sent again while it still runs: a saver only just up may not take keys
# yet).
key_ends_saver() {
    local reports attempt
    reports=$(frame_reports)
    for attempt in 1 2 3 4 5 6; do
        $KEY
        KEY_AT=$(now_ms)
        poll_until 2 bash -c "! kill -0 $CHILD 2>/dev/null" && break
    done
    ! kill -0 "$CHILD" 2>/dev/null || fail "keys do not end the saver"
    expect_passes "$reports" "a key"
}

# The watcher ends, its saver with it, with the code EXPECTED: watcher_ends EXPECTED COMMAND...
watcher_ends() {
    local expected=$1 rc=0
    shift
    "$@"
    poll_until 10 bash -c "! kill -0 $WATCHER_PID 2>/dev/null" || fail "the watcher outlived $*"
    wait "$WATCHER_PID" || rc=$?
    WATCHER_PID=""
    [ "$rc" -eq "$expected" ] || fail "$* ended the watcher with $rc"
    ! kill -0 "$CHILD" 2>/dev/null || fail "the saver outlived its watcher"
}

row=$(printf '%s\n' "${desktops[@]}" | grep "^$desktop|") || fail "no desktop $desktop"
IFS='|' read -r _ watched KEY <<<"$row"
case "$desktop" in
x11) start_x11 ;;
mutter) start_mutter ;;
sway) start_sway_session ;;
kwin) start_kwin ;;
esac

export LUMIVEX_FPS=1
started=$(now_ms)
"$LUMIVEX_GL" --idle "$IDLE" >"$WATCHER_OUT" 2>&1 &
WATCHER_PID=$!
poll_until 10 grep -q 'watching' "$WATCHER_OUT" || fail "the watcher did not start"
grep -Eq "watching .*$watched for $IDLE s" "$WATCHER_OUT" || fail "the watcher watches the wrong thing"
note "$(head -n 1 "$WATCHER_OUT")"
second=$("$LUMIVEX_GL" --idle 7 2>&1) || fail "a second watcher ended with $?: $second"
[[ "$second" == *"an idle watcher runs already in this session"* ]] || fail "a second watcher said: $second"

if [ -n "$KEY" ]; then
    # Keys for longer than the idle time keep the saver away.
    for _ in $(seq $((IDLE * 2 + 1))); do
        sleep 0.5
        $KEY
    done
    last=$(now_ms)
    no_saver_child || fail "a saver started while keys came"
    expect_saver_after "$last"
    sleep 2
    key_ends_saver
    expect_saver_after "$KEY_AT"
    key_ends_saver
fi

case "$desktop" in
x11)
    expect_saver_after "$KEY_AT"
    kill -KILL "$CHILD" # as the kernel ends a saver out of memory (a SEGV under ASan ends with 1)
    poll_until 5 grep -q 'the saver was ended by signal 9' "$WATCHER_OUT" || fail "the crash was not told"
    # Two inhibitions: one lifted by UnInhibit, the other by its client leaving the bus.
    start_client
    client_says inhibit
    first=$ANSWER
    client_says inhibit
    client_says uninhibit "$first"
    $KEY
    sleep $((IDLE + 2))
    no_saver_child || fail "a saver started while a client held an inhibition"
    stop_client
    expect_saver_after "$(now_ms)" "the inhibition was lifted"
    [ "$(grep -c 'the saver was ended' "$WATCHER_OUT")" -eq 1 ] || fail "the crash was told more than once"
    watcher_ends 1 kill_xvfb
    grep -q '^lumivex-gl: lost the connection to the X display' "$WATCHER_OUT" || fail "the X server went unsaid"
    ;;
kwin)
    expect_saver_after "$started" "the watcher's start"
    sleep 2
    reports=$(frame_reports)
    watcher_ends 0 kill -TERM "$WATCHER_PID"
    expect_passes "$reports" "SIGTERM to the watcher"
    ;;
*)
    expect_saver_after "$KEY_AT"
    watcher_ends 0 kill -TERM "$WATCHER_PID"
    ;;
esac
echo "PASS"
