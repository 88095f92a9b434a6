#!/usr/bin/env bash
# The named semaphore keeps one saver: while /s runs, a second /s ends at once with code 0,
# shows no window and leaves the registry as it was. The running saver tells the system a screen
# saver runs while its window is up, and no longer once it has ended.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_xvfb 320x240
write_settings Rest=20 Alpha=1

relay_calls 'kernel32.CreateSemaphoreA;user32.SystemParametersInfoA'
start_saver /s
wait_for_saver_ready
relay_off
export_settings
cp "$SETTINGS_FILE" "$E2E_TMP/before.reg"

rc=0
timeout 20 "$LUMIVEX_GL" /s >"$E2E_TMP/second.out" 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "the second instance ended with code $rc (124 = still running)"
windows=$(timeout 5 xdotool search --onlyvisible --name '^Lumivex GL$' | wc -l)
[ "$windows" -eq 1 ] || fail "$windows saver windows"
export_settings
cmp -s "$SETTINGS_FILE" "$E2E_TMP/before.reg" || fail "the second instance changed the registry:
$(diff "$E2E_TMP/before.reg" "$SETTINGS_FILE")"
saver_ready || fail "the first saver is no longer there"

send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
relayed CreateSemaphoreA | grep -q 'CreateSemaphoreA(00000000,00000000,00000001,[0-9a-f]* "LumivexGLSemaphore")' ||
    fail "no semaphore: $(relayed CreateSemaphoreA)"
# SPI_SCREENSAVERRUNNING (97) on, then off; nothing saved in the user's profile
flags=$(relayed SystemParametersInfoA | sed -n 's/.*SystemParametersInfoA(00000061,\(0000000[01]\),[0-9a-f]*,00000000).*/\1/p' | tr '\n' ' ')
[ "$flags" = "00000001 00000000 " ] || fail "the screen-saver flag went: '$flags'"
echo "PASS"
