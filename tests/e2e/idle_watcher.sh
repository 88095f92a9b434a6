#!/usr/bin/env bash
# lumivex-gl --idle 3 on one desktop (the second argument): it names what it watches, and a
# second watcher ends with 0; no saver while keys come; its child `lumivex-gl /s` about 3 s after
# the last key, which a key ends; the next idle period starts it again. X11: a crashed saver told
# once; none while a client holds an inhibition (one lifted by UnInhibit, one by leaving the bus);
# the X server gone ends the watcher with 1 and one line. Elsewhere SIGTERM ends the watcher and a
# saver that drew (LUMIVEX_FPS counts passes); KWin takes no key: the saver is timed from the start.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
IDLE=3 WATCHER_PID="" SAVER_OUT="$E2E_TMP/watcher.out" # the watcher's output, shown on failure

# A session bus of the test's own (lib.sh stops it as a host's).
start_session_bus() {
    BUS_PID=$(dbus-daemon --session --fork --print-pid --address="unix:path=$E2E_TMP/bus") || fail "no session bus"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus"
}

# idle_bus.py, connected until stop_client: client_says ORDER [ARG] answers in ANSWER.
start_client() { coproc CLIENT { PATH=/usr/bin:/bin exec python3 "$E2E_DIR/idle_bus.py" 2>>"$E2E_TMP/client.log"; }; }
client_says() {
    echo "$*" >&"${CLIENT[1]}"
    read -r -t 10 ANSWER <&"${CLIENT[0]}" || fail "idle_bus.py did not answer '$*': $(cat "$E2E_TMP/client.log")"
}
stop_client() { [ -z "${CLIENT_PID:-}" ] || stop_tree "$CLIENT_PID"; }

# A compositor on the test's bus, on the socket lumivex-idle: start_desktop COMMAND...
start_desktop() {
    command -v "$1" >/dev/null || skip "$1 is not installed (scripts/install-deps.sh)"
    COMPOSITOR=$1
    unset DISPLAY && start_session_bus
    # A copy (its name still kwin_wayland) runs without the file capability a sandbox may not grant.
    [ "$1" != kwin_wayland ] || { cp "$(command -v "$1")" "$E2E_TMP/$1" && set -- "$E2E_TMP/$@"; }
    "$@" >>"$E2E_TMP/compositor.log" 2>&1 &
    COMPOSITOR_PID=$!
    export WAYLAND_DISPLAY=lumivex-idle
    poll_until 30 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || compositor_failed
}

trap 'status=$?; [ -z "$WATCHER_PID" ] || stop_tree "$WATCHER_PID"; stop_client; (exit $status); e2e_cleanup' EXIT
case ${2:?x11, mutter, sway or kwin} in # what the watcher watches there, and how a key is pressed
x11) watched="the X display :[0-9]+'s IDLETIME counter" KEY="send key space" && start_xvfb 640x480 && start_session_bus ;;
mutter)
    watched="GNOME's idle monitor" KEY="client_says key 57" # through GNOME's remote desktop
    start_desktop mutter --headless --wayland --no-x11 --virtual-monitor 800x600 --wayland-display=lumivex-idle
    start_client && client_says remote-desktop ;;
sway) watched=org_kde_kwin_idle KEY="wl_input space" && unset DBUS_SESSION_BUS_ADDRESS && start_sway 640x480+0+0 ;;
kwin) watched=ext_idle_notifier_v1 KEY="" && start_desktop kwin_wayland --virtual --width 800 --height 600 \
    --no-lockscreen --socket lumivex-idle ;;
*) fail "no desktop $2" ;;
esac

now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
gone() { ! kill -0 "$1" 2>/dev/null; }
saver_started() { CHILD=$(pgrep -P "$WATCHER_PID" -f 'lumivex-gl /s$' | head -n 1) && [ -n "$CHILD" ]; }

# The saver, CHILD, starts 3 s (-0.3, +2.5) after SINCE_MS, when WHAT: expect_saver_after SINCE_MS WHAT.
expect_saver_after() {
    poll_until 15 saver_started || fail "no saver 15 s after $2"
    local took=$(($(now_ms) - $1))
    ((took >= IDLE * 1000 - 300 && took <= IDLE * 1000 + 2500)) || fail "the saver started $took ms after $2"
    note "the saver started $took ms after $2"
}

# COMMAND... ends the watcher with EXPECTED, and its saver: watcher_ends EXPECTED COMMAND...
watcher_ends() {
    local rc=0
    "${@:2}"
    poll_until 10 gone "$WATCHER_PID" || fail "the watcher outlived ${*:2}"
    wait "$WATCHER_PID" || rc=$?
    WATCHER_PID=""
    [ "$rc" -eq "$1" ] && gone "$CHILD" || fail "after ${*:2} the watcher ended with $rc, its saver runs: $(gone "$CHILD" || echo yes)"
}

export LUMIVEX_FPS=1
since=$(now_ms) what="the watcher started"
"$LUMIVEX_GL" --idle "$IDLE" >"$SAVER_OUT" 2>&1 &
WATCHER_PID=$!
poll_until 10 grep -Eq "watching .*$watched for $IDLE s" "$SAVER_OUT" || fail "the watcher does not watch $watched"
second=$("$LUMIVEX_GL" --idle 7 2>&1) && [[ $second == *"an idle watcher runs already in this session"* ]] ||
    fail "a second watcher said: $second"

if [ -n "$KEY" ]; then
    for _ in $(seq $((IDLE * 2 + 1))); do sleep 0.5 && $KEY; done # for longer than the idle time
    since=$(now_ms) && ! saver_started || fail "a saver started while keys came"
    expect_saver_after "$since" "the last key"
    sleep 2
    # A key ends it (sent again while it runs: a saver only just up may not take keys yet).
    what="a key ended the saver"
    for _ in 1 2 3 4 5 6; do $KEY && since=$(now_ms) && poll_until 2 gone "$CHILD" && break; done
    gone "$CHILD" || fail "keys do not end the saver"
fi
expect_saver_after "$since" "$what"

if [ "$2" != x11 ]; then
    sleep 2 && reports=$(grep -c 'frames in' "$SAVER_OUT" || true)
    watcher_ends 0 kill -TERM "$WATCHER_PID"
    [ "$(grep -c 'frames in' "$SAVER_OUT")" -gt "$reports" ] &&
        grep 'frames in' "$SAVER_OUT" | tail -n 1 | grep -q ' [1-9][0-9]* frames in' || fail "the saver drew nothing"
else
    kill -KILL "$CHILD" # as the kernel ends a saver out of memory (a SEGV under ASan ends with 1)
    poll_until 5 grep -q 'the saver was ended by signal 9' "$SAVER_OUT" || fail "the crash was not told"
    # Two inhibitions, one lifted by UnInhibit, the other when its client leaves the bus.
    start_client && client_says inhibit && first=$ANSWER && client_says inhibit && client_says uninhibit "$first"
    $KEY && sleep $((IDLE + 2))
    ! saver_started || fail "a saver started while a client held an inhibition"
    stop_client
    expect_saver_after "$(now_ms)" "the inhibition was lifted"
    [ "$(grep -c 'the saver was ended' "$SAVER_OUT")" -eq 1 ] || fail "the crash was told more than once"
    watcher_ends 1 kill_xvfb
    grep -q '^lumivex-gl: lost the connection to the X display' "$SAVER_OUT" || fail "the X server went unsaid"
fi
echo "PASS"
