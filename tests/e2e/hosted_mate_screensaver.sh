#!/usr/bin/env bash
# Under MATE's screen saver, our theme entry (valid to desktop-file-validate) its one theme:
# blanking runs it in the daemon's window with the settings found through HOME alone (8
# reflections: a quarter turn maps the picture onto itself); unblanking, or the daemon ending,
# ends it within 2 s with 0. Skipped without MATE's screen saver or a mount namespace for it.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

command -v desktop-file-validate >/dev/null ||
    fail "desktop-file-validate is not installed (scripts/install-deps.sh)"
report=$(desktop-file-validate --no-hints "$MATE_THEME" 2>&1) || fail "$report"
[ -z "$report" ] || fail "desktop-file-validate: $report"
for tool in mate-screensaver mate-screensaver-command dbus-daemon gsettings; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/install-deps.sh)"
done
[ -d "$MATE_ENGINES" ] || skip "MATE's screen saver keeps its themes elsewhere than $MATE_ENGINES"
"${PRIVATE_MOUNTS[@]}" mount --bind "$MATE_ENGINES" "$MATE_ENGINES" 2>/dev/null ||
    skip "no mount namespace of its own here (${PRIVATE_MOUNTS[*]})"

# Ends when its host stops it, within 2 s, with 0.
expect_stopped() {
    local hack=$1 started=$2 took
    poll_until 5 hack_ended "$hack" || fail "the hack still runs 5 s after $3"
    took=$((($(date +%s%N) - started) / 1000000))
    [ "$took" -le 2000 ] && [ "$(hack_status "$hack")" -eq 0 ] ||
        fail "the hack ended with $(hack_status "$hack") $took ms after $3"
}

start_xvfb 640x480
write_settings NumOfReflections=8 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_host mate-screensaver
host_as mate-screensaver-command --activate || fail "mate-screensaver-command --activate failed"
wait_for_hacks 1
hack=$(hack_pids)
wait_for_symmetric "$E2E_TMP/blanked.png" "" 90
started=$(date +%s%N)
host_as mate-screensaver-command --deactivate || fail "mate-screensaver-command --deactivate failed"
expect_stopped "$hack" "$started" unblanking

host_as mate-screensaver-command --activate || fail "mate-screensaver-command --activate failed"
poll_until 20 bash -c "[ -n \"\$(pgrep -f '^$HACK( |\$)' | grep -vx $hack)\" ]" ||
    fail "blanking again started no hack"
hack=$(hack_pids)
daemon=$(pgrep -x -P "$HOST_PID" mate-screensave) || fail "no mate-screensaver under $HOST_PID"
started=$(date +%s%N)
kill -TERM "$daemon"
expect_stopped "$hack" "$started" "the daemon ended"
echo "PASS"
