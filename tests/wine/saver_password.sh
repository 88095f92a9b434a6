#!/usr/bin/env bash
# The screen-saver password of the 95/98/ME family, with test DLLs in the system directory:
# reporting Windows 98, Escape closes the saver only when Password.cpl's VerifyScreenSavePwd
# answers TRUE (a FALSE keeps it running and taking keys); reporting the NT family, Escape closes
# it without loading Password.cpl. On three monitors (the primary in the middle) each shows a
# picture symmetric about its centre, another program's window hidden; a click there, keys and that
# program coming forward each ask for the password, and none reaches it. /a 1234 calls Mpr.dll's
# PwdChangePasswordA with "SCRSAVE", 1234, 0, 0; /a without a number, or a bad one, calls nothing.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
for dll in LUMIVEX_PASSWORD_CPL LUMIVEX_MPR_DLL; do
    [ -f "${!dll:-}" ] || fail "$dll does not name the test DLL"
done
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_xvfb 3072x768
timeout 10 xrandr --setmonitor L 1024/271x768/203+0+0 none &&
    timeout 10 xrandr --setmonitor '*M' 1024/271x768/203+1024+0 screen &&
    timeout 10 xrandr --setmonitor R 1024/271x768/203+2048+0 none || fail "xrandr --setmonitor failed"
other=400x300+124+100 # X's place of the window at -900,100, on the left monitor
start_other_window -900 100 400 300
shown() { screenshot "$E2E_TMP/before.png" && [ "$(magenta_share "$E2E_TMP/before.png" "$other")" = 1 ]; }
poll_until 10 shown || fail "the other window is not shown"

system=$(system_directory)
cp "$system/mpr.dll" "$E2E_TMP/mpr.dll.wine"
on_cleanup 'cp "$E2E_TMP/mpr.dll.wine" "$system/mpr.dll"; rm -f "$system/Password.cpl"'
cp "$LUMIVEX_PASSWORD_CPL" "$system/Password.cpl"
log="$E2E_TMP/calls.log"
: >"$log"
export LUMIVEX_TEST_LOG LUMIVEX_TEST_ANSWER
LUMIVEX_TEST_LOG=$(winepath -w "$log")
LUMIVEX_TEST_ANSWER=$(winepath -w "$E2E_TMP/answer")

note "Windows 98: FALSE keeps the saver and every input, TRUE closes it"
wine_quiet reg add 'HKCU\Software\Wine' /v Version /d win98 /f || fail "cannot report Windows 98"
echo 0 >"$E2E_TMP/answer"
linux_start_saver /s # in the Wine that shows the other program
wait_for_saver_ready
for monitor in 1024x768+0+0 1024x768+1024+0 1024x768+2048+0; do
    wait_for_symmetric "$E2E_TMP/monitors.png" "$monitor"
done
awk -v s="$(magenta_share "$E2E_TMP/monitors.png" "$other")" 'BEGIN { exit !(s < 0.01) }' || fail "the other window shows"
# asked N WHY: the password asked for N times by now, else the test fails with WHY.
asked() { poll_until 15 bash -c "[ \$(grep -c '^VerifyScreenSavePwd' '$log') -ge $1 ]" || fail "$2: $(cat "$log")"; }
send key Escape
asked 1 "Password.cpl was not asked"
sleep 1
saver_ready || fail "the saver closed although the password was refused"
send mousemove 300 250 click 1
asked 2 "the click on the left monitor asked nothing"
send key a b c
asked 4 "the keys did not ask for the password"
before=$(grep -c '^VerifyScreenSavePwd' "$log")
echo 1 >"$OTHER_FORWARD"
poll_until 10 grep -q '^forward' "$OTHER_LOG" || fail "the other program did not come forward"
asked $((before + 1)) "losing the foreground asked for no password"
poll_until 15 saver_ready || fail "the saver did not take the keyboard back"
! grep -q '^key\|^click' "$OTHER_LOG" || fail "input reached the other program: $(cat "$OTHER_LOG")"
echo 1 >"$E2E_TMP/answer"
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
# Loaded for each question and asked with the same, real window each time.
[ "$(grep -c '^Password.cpl loaded$' "$log")" -eq "$(grep -c '^VerifyScreenSavePwd' "$log")" ] || fail "calls: $(cat "$log")"
windows=$(sed -n 's/^VerifyScreenSavePwd //p' "$log" | sort -u)
[ "$(echo "$windows" | wc -l)" -eq 1 ] && [ "$windows" -ne 0 ] || fail "calls: $(cat "$log")"

note "NT family: no password asked"
wine_quiet reg delete 'HKCU\Software\Wine' /v Version /f || fail "cannot report NT"
: >"$log"
start_saver /s
wait_for_saver_ready
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
[ ! -s "$log" ] || fail "Password.cpl was loaded on the NT family: $(cat "$log")"

note "change password"
cp "$LUMIVEX_MPR_DLL" "$system/mpr.dll"
for args in "/a 1234" "/a" "/a abc" "/a 0"; do
    : >"$log"
    rc=0
    # shellcheck disable=SC2086
    WINEDLLOVERRIDES="$WINEDLLOVERRIDES;mpr=n" timeout 20 "$LUMIVEX_GL" $args >"$SAVER_OUT" 2>&1 || rc=$?
    [ "$rc" -eq 0 ] || fail "'$args' ended with code $rc"
    expected=""
    [ "$args" = "/a 1234" ] && expected="PwdChangePasswordA SCRSAVE 1234 0 0"
    [ "$(cat "$log")" = "$expected" ] || fail "'$args' called: '$(cat "$log")'"
done
echo "PASS"
