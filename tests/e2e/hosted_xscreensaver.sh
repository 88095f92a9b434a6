#!/usr/bin/env bash
# Under the real xscreensaver daemon, as its one hack 'GL: "Lumivex GL" lumivex-gl --root' (the
# README's line; the daemon forks the command without the quoted name): blanking starts it; the
# screen then changes over time and has the symmetry of 12 mirrored reflections; no window of its
# own is mapped (every top-level window is the daemon's, and the view is the one child of the
# daemon's window); unblanking ends it within 2 seconds with 0; the settings file is unchanged
# byte for byte.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 640x480
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_host xscreensaver
cp "$HOST_SETTINGS" "$E2E_TMP/before.reg"
host_as xscreensaver-command -activate || fail "xscreensaver-command -activate failed"
wait_for_hacks 1
hack=$(hack_pids)
host_window=$(tr '\0' '\n' <"/proc/$hack/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
[ -n "$host_window" ] || fail "the daemon gave the hack no window"

sleep 1.5
screenshot "$E2E_TMP/first.png"
sleep 1
screenshot "$E2E_TMP/second.png"
[ "$(timeout 20 compare -metric AE "$E2E_TMP/first.png" "$E2E_TMP/second.png" null: 2>&1)" != 0 ] ||
    fail "the screen did not change"
expect_symmetric "$E2E_TMP/second.png"

foreign=$(timeout 5 xwininfo -root -children | awk '$1 ~ /^0x/' | grep -v '("xscreensaver" "XScreenSaver")' || true)
[ -z "$foreign" ] || fail "a top-level window not of the daemon's: $foreign"
children=$(timeout 5 xwininfo -children -id "$host_window" | awk '$1 ~ /^0x/' | wc -l)
[ "$children" -eq 1 ] || fail "the daemon's window has $children children, not the one view"

started=$(date +%s%N)
host_as xscreensaver-command -deactivate || fail "xscreensaver-command -deactivate failed"
poll_until 5 hack_ended "$hack" || fail "the hack still runs 5 s after unblanking"
took=$((($(date +%s%N) - started) / 1000000))
[ "$took" -le 2000 ] || fail "the hack took $took ms to end"
[ "$(hack_status "$hack")" -eq 0 ] || fail "the hack ended with $(hack_status "$hack")"
cmp -s "$HOST_SETTINGS" "$E2E_TMP/before.reg" || fail "the hack changed the settings file"
note "ended $took ms after unblanking"
echo "PASS"
