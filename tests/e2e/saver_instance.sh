#!/usr/bin/env bash
# While the saver runs, a second start ends at once with code 0, shows no second window and
# leaves the first one running.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 320x240
write_settings Rest=20
start_saver /s
wait_for_saver_ready
before=$(cat "$SETTINGS_FILE")

second=0
timeout 10 "$LUMIVEX_GL" /s >"$E2E_TMP/second.out" 2>&1 || second=$?
[ "$second" -eq 0 ] || fail "the second instance ended with code $second (124 = still running)"
windows=$(timeout 5 xdotool search --name '^Lumivex GL$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows saver windows"
[ "$(cat "$SETTINGS_FILE")" = "$before" ] || fail "the second instance changed the settings"
saver_ready || fail "the first saver is no longer there"

send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
echo "PASS"
