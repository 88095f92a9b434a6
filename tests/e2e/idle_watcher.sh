#!/usr/bin/env bash
# lumivex-gl --idle 3 on the desktop named by argument 2: it says what it watches, a second ends
# with 0; no saver while keys come, a child `lumivex-gl /s` about 3 s after the last key (KWin takes
# no key: after the start), a key ends it, the next idle period starts it again. X11: a crash told
# once; none while a client inhibits (one lifted by UnInhibit, one by leaving the bus); the X server
# gone ends it with 1 and a line. Elsewhere SIGTERM ends the watcher and a saver that drew.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
IDLE=3 WATCHER_PID="" SAVER_OUT="$E2E_TMP/watcher.out" # the watcher's output, shown on failure
BUS_PID=$(dbus-daemon --session --fork --print-pid --address="unix:path=$E2E_TMP/bus") || fail "no session bus"
export DBUS_SESSION_BUS_ADDRESS="unix:path=$E2E_TMP/bus" # the bus stopped by lib.sh as a host's
# A bus client that runs Python SETUP, then STEP at each line it is sent, and holds its connection
# (its inhibitions, its remote desktop session) until stopped: bus_client SETUP [STEP].
bus_client() {
    coproc CLIENT { PATH=/usr/bin:/bin exec python3 -c "import dbus, sys
bus = dbus.SessionBus(); $1; print(flush=True)
for line in sys.stdin: ${2:-pass}; print(flush=True)" 2>>"$E2E_TMP/client.log"; }
    answered
}
answered() { read -r -t 10 _ <&"${CLIENT[0]}" || fail "the bus client failed: $(cat "$E2E_TMP/client.log")"; }
remote_key() { echo >&"${CLIENT[1]}" && answered; } # space, through GNOME's remote desktop
# A compositor on the test's bus, on the socket lumivex-idle: start_desktop COMMAND...
start_desktop() {
    command -v "$1" >/dev/null || skip "$1 is not installed (scripts/install-deps.sh)"
    COMPOSITOR=$1 && unset DISPLAY
    # A copy (its name still kwin_wayland) runs without the file capability a sandbox may not grant.
    [ "$1" != kwin_wayland ] || { cp "$(command -v "$1")" "$E2E_TMP/$1" && set -- "$E2E_TMP/$@"; }
    "$@" >>"$E2E_TMP/compositor.log" 2>&1 &
    COMPOSITOR_PID=$! WAYLAND_DISPLAY=lumivex-idle
    poll_until 30 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || compositor_failed
}

trap 'status=$?; for pid in "$WATCHER_PID" "${CLIENT_PID:-}"; do [ -z "$pid" ] || stop_tree "$pid"; done; (exit $status); e2e_cleanup' EXIT
case ${2:?x11, mutter, sway or kwin} in # what the watcher watches there, and how a key is pressed
x11) watched="the X display :[0-9]+'s IDLETIME counter" KEY="send key space" && start_xvfb 640x480 ;;
mutter)
    watched="GNOME's idle monitor" KEY=remote_key
    start_desktop mutter --headless --wayland --no-x11 --virtual-monitor 800x600 --wayland-display=lumivex-idle
    bus_client "R = 'org.gnome.Mutter.RemoteDesktop'; s = dbus.Interface(bus.get_object(R, bus.get_object(R, \
'/org/gnome/Mutter/RemoteDesktop').CreateSession(dbus_interface=R)), R + '.Session'); s.Start()" \
        "s.NotifyKeyboardKeycode(57, True); s.NotifyKeyboardKeycode(57, False)" ;;
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
}
# The watcher ends with status $1, and its saver with it: watcher_ends STATUS.
watcher_ends() { poll_until 10 gone "$WATCHER_PID" && { wait "$WATCHER_PID"; [ $? -eq "$1" ]; } && gone "$CHILD" || fail "the watcher did not end with $1, its saver with it"; }
# A key sent while the saver runs ends it (sent again: a saver only just up may not take keys yet).
key_ends_saver() { $KEY && since=$(now_ms) && poll_until 2 gone "$CHILD"; }

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
    sleep 2 && what="a key ended the saver"
    poll_until 12 key_ends_saver || fail "keys do not end the saver"
fi
expect_saver_after "$since" "$what"

if [ "$2" != x11 ]; then
    sleep 2 && kill -TERM "$WATCHER_PID" && watcher_ends 0
    grep 'frames in' "$SAVER_OUT" | tail -n 1 | grep -q ' [1-9][0-9]* frames in' || fail "the saver drew nothing"
else
    kill -KILL "$CHILD" # as the kernel ends a saver out of memory (a SEGV under ASan ends with 1)
    poll_until 5 grep -q 'the saver was ended by signal 9' "$SAVER_OUT" || fail "the crash was not told"
    bus_client "S = 'org.freedesktop.ScreenSaver'; at = lambda path: dbus.Interface(bus.get_object(S, path), S); \
at('/ScreenSaver').UnInhibit(at('/org/freedesktop/ScreenSaver').Inhibit('e2e', 'lifted')); \
at('/org/freedesktop/ScreenSaver').Inhibit('e2e', 'held until the client leaves')"
    $KEY && sleep $((IDLE + 2))
    ! saver_started || fail "a saver started while a client held an inhibition"
    stop_tree "$CLIENT_PID"
    expect_saver_after "$(now_ms)" "the inhibition was lifted"
    [ "$(grep -c 'the saver was ended' "$SAVER_OUT")" -eq 1 ] || fail "the crash was told more than once"
    kill_xvfb && watcher_ends 1
    grep -q '^lumivex-gl: lost the connection to the X display' "$SAVER_OUT" || fail "the X server went unsaid"
fi
echo "PASS"
