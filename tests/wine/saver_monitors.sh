#!/usr/bin/env bash
# Three monitors, the primary in the middle (so the virtual screen starts left of 0): the saver
# covers all three with a picture symmetric about each one's centre, and another program's window
# on the left monitor is hidden. With the password of Windows 98 on and refused, a click on that
# window's place and typed keys reach the saver only (each asks for the password); when the other
# program brings itself forward, the saver asks for the password as for a key and, refused, takes
# the screen and the keys back.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
[ -f "${LUMIVEX_PASSWORD_CPL:-}" ] || fail "LUMIVEX_PASSWORD_CPL does not name the test DLL"
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20

start_xvfb 3072x768
timeout 10 xrandr --setmonitor L 1024/271x768/203+0+0 none &&
    timeout 10 xrandr --setmonitor '*M' 1024/271x768/203+1024+0 screen &&
    timeout 10 xrandr --setmonitor R 1024/271x768/203+2048+0 none || fail "xrandr --setmonitor failed"
# Left of the primary monitor: at X's 124,100.
other=400x300+124+100
start_other_window -900 100 400 300
screenshot "$E2E_TMP/before.png"
[ "$(magenta_share "$E2E_TMP/before.png" "$other")" = 1 ] || fail "the other window is not shown"

system=$(system_directory)
on_cleanup 'rm -f "$system/Password.cpl"'
cp "$LUMIVEX_PASSWORD_CPL" "$system/Password.cpl"
log="$E2E_TMP/calls.log"
: >"$log"
export LUMIVEX_TEST_LOG LUMIVEX_TEST_ANSWER
LUMIVEX_TEST_LOG=$(winepath -w "$log")
LUMIVEX_TEST_ANSWER=$(winepath -w "$E2E_TMP/answer")
echo 0 >"$E2E_TMP/answer"
wine_quiet reg add 'HKCU\Software\Wine' /v Version /d win98 /f || fail "cannot report Windows 98"
# In the Wine that shows the other program.
linux_start_saver /s
wait_for_saver_ready
sleep 2
screenshot "$E2E_TMP/monitors.png"
for monitor in 1024x768+0+0 1024x768+1024+0 1024x768+2048+0; do
    expect_symmetric "$E2E_TMP/monitors.png" "$monitor"
done
share=$(magenta_share "$E2E_TMP/monitors.png" "$other")
awk -v s="$share" 'BEGIN { exit !(s < 0.01) }' || fail "the other window shows ($share of it)"

asked() { grep -c '^VerifyScreenSavePwd' "$log" || true; }
note "refused: a click on the left monitor and keys"
send mousemove 300 250 click 1
poll_until 15 bash -c "[ \$(grep -c '^VerifyScreenSavePwd' '$log') -ge 1 ]" || fail "the click asked nothing"
send key a b c
poll_until 15 bash -c "[ \$(grep -c '^VerifyScreenSavePwd' '$log') -ge 3 ]" ||
    fail "the keys did not ask for the password: $(cat "$log")"
sleep 1
saver_ready || fail "the saver lost the keyboard"
! grep -q '^key\|^click' "$OTHER_LOG" || fail "input reached the other program: $(cat "$OTHER_LOG")"

note "the other program comes forward"
before=$(asked)
echo 1 >"$OTHER_FORWARD"
poll_until 10 grep -q '^forward' "$OTHER_LOG" || fail "the other program did not come forward"
poll_until 15 bash -c "[ \$(grep -c '^VerifyScreenSavePwd' '$log') -gt $before ]" ||
    fail "losing the foreground asked for no password"
poll_until 15 saver_ready || fail "the saver did not take the keyboard back"
send key x y
sleep 1
! grep -q '^key' "$OTHER_LOG" || fail "keys reached the other program: $(cat "$OTHER_LOG")"

echo 1 >"$E2E_TMP/answer"
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
echo "PASS"
