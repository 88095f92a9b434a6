#!/usr/bin/env bash
# A session that ends (logoff, shutdown) ends the saver without a password question, and what
# Caps Lock edited is saved first: the system ends the process right after telling it.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_xvfb 320x240
write_settings Alpha=0 FullScreen=0
start_saver /s
wait_for_saver_ready
send key Caps_Lock t w
sleep 0.5
wine wineboot --end-session >/dev/null 2>&1 || fail "wineboot could not end the session"
wait_for_saver_exit
expect_setting Alpha 1
expect_setting FullScreen 1
echo "PASS"
