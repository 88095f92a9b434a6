#!/usr/bin/env bash
# The screen-saver password of the 95/98/ME family, with test DLLs in the system directory:
# reporting Windows 98, Escape closes the saver only when Password.cpl's VerifyScreenSavePwd
# answers TRUE (a FALSE keeps it running and taking keys); reporting the NT family, Escape closes
# it without loading Password.cpl. /a 1234 calls Mpr.dll's PwdChangePasswordA with "SCRSAVE",
# 1234, 0, 0; /a without a number, or with one that is not, calls nothing.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
for dll in LUMIVEX_PASSWORD_CPL LUMIVEX_MPR_DLL; do
    [ -f "${!dll:-}" ] || fail "$dll does not name the test DLL"
done
start_xvfb 320x240
write_settings Rest=20

system=$(system_directory)
cp "$system/mpr.dll" "$E2E_TMP/mpr.dll.wine"
on_cleanup 'cp "$E2E_TMP/mpr.dll.wine" "$system/mpr.dll"; rm -f "$system/Password.cpl"'
cp "$LUMIVEX_PASSWORD_CPL" "$system/Password.cpl"
log="$E2E_TMP/calls.log"
: >"$log"
export LUMIVEX_TEST_LOG LUMIVEX_TEST_ANSWER
LUMIVEX_TEST_LOG=$(winepath -w "$log")
LUMIVEX_TEST_ANSWER=$(winepath -w "$E2E_TMP/answer")

note "Windows 98: FALSE keeps the saver, TRUE closes it"
wine_quiet reg add 'HKCU\Software\Wine' /v Version /d win98 /f || fail "cannot report Windows 98"
echo 0 >"$E2E_TMP/answer"
start_saver /s
wait_for_saver_ready
send key Escape
poll_until 15 grep -q '^VerifyScreenSavePwd' "$log" || fail "Password.cpl was not asked"
sleep 1
saver_ready || fail "the saver closed although the password was refused"
echo 1 >"$E2E_TMP/answer"
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
# Loaded for each question and asked with the same, real window each time.
[ "$(grep -c '^Password.cpl loaded$' "$log")" -eq 2 ] || fail "calls: $(cat "$log")"
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
