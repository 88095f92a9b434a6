#!/usr/bin/env bash
# With a display, the failure message is also a modal dialog (caption "Information") that
# Return closes. While it is shown the program holds the guard; killed with SIGKILL it leaves
# no guard behind that could block the next start. A save that fails when the user ends the saver
# is shown the same way.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
unset LUMIVEX_NO_DIALOG
start_xvfb 640x480

missing_library() {
    mkdir -p "$(dirname "$SETTINGS_FILE")"
    printf 'REGEDIT4\n\n[%s]\n"OpenGLDLL"="libNoSuchGL.so.9"\n' "$SETTINGS_KEY" >"$SETTINGS_FILE"
}
dialog_shown() { timeout 5 xdotool search --onlyvisible --name '^Information$' >/dev/null 2>&1; }

# 1. The dialog appears, holds the guard, and Return closes it.
missing_library
start_saver /s
poll_until 20 dialog_shown || fail "no dialog appeared"
grep -q "cannot initialize OpenGL library: libNoSuchGL.so.9" "$SAVER_OUT" ||
    fail "the message is not on standard error"
cp "$SETTINGS_FILE" "$E2E_TMP/before.reg"
rc=0
timeout 10 env LUMIVEX_NO_DIALOG=1 "$LUMIVEX_GL" /p >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "a second instance ended with code $rc"
cmp -s "$SETTINGS_FILE" "$E2E_TMP/before.reg" || fail "the second instance wrote the settings"
send key Return
wait_for_saver_exit 15
[ "$SAVER_RC" -eq 0 ] || fail "the program ended with code $SAVER_RC after the dialog"
expect_setting Rest 20

# 2. Killed while it holds the guard: the next start is not blocked.
missing_library
start_saver /s
poll_until 20 dialog_shown || fail "no dialog appeared the second time"
kill -9 "$SAVER_PID"
wait "$SAVER_PID" 2>/dev/null || true
SAVER_PID=""
rm -f "$SETTINGS_FILE"
rc=0
timeout 10 env LUMIVEX_NO_DIALOG=1 "$LUMIVEX_GL" /p >/dev/null 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "the start after the kill ended with code $rc"
[ -f "$SETTINGS_FILE" ] || fail "the start after the kill did not run (no settings written)"
expect_setting NumOfElements 3

# 3. A save that fails after the user ended the saver is shown too (the saver window is gone by
#    then; the dialog is the low window of the program's name), and Return closes it.
save_failure_shown() {
    timeout 5 xdotool search --onlyvisible --name '^Lumivex GL$' 2>/dev/null | xargs -rn1 timeout 5 \
        xwininfo -id | awk '/Height:/ && $2 < 240 { low = 1 } END { exit !low }'
}
write_settings Rest=20
start_saver /s
wait_for_saver_ready
rm "$SETTINGS_FILE" && mkdir "$SETTINGS_FILE"
send key Escape
poll_until 20 save_failure_shown || fail "the failed save was not shown"
grep -qx "lumivex-gl: cannot save the settings to $SETTINGS_FILE: Is a directory" "$SAVER_OUT" ||
    fail "the failed save is not on standard error"
send key Return
wait_for_saver_exit 15
[ "$SAVER_RC" -eq 1 ] || fail "the failed save ended with code $SAVER_RC"
echo "PASS"
