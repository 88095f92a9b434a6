#!/usr/bin/env bash
# Under xsecurelock, as its XSECURELOCK_SAVER (started through saver_multiplex): it draws, and
# when the locker is ended with SIGTERM it ends too, with 0.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 640x480
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_host xsecurelock
wait_for_hacks 1
hack=$(hack_pids)
sleep 2
screenshot "$E2E_TMP/locked.png"
expect_symmetric "$E2E_TMP/locked.png"
stop_host
[ "$(hack_status "$hack")" = 0 ] || fail "the hack ended with '$(hack_status "$hack")'"
echo "PASS"
