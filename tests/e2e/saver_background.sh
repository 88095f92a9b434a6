#!/usr/bin/env bash
# The stored "Background" colour (0x00BBGGRR) is what the saver clears to: 0x00FF0000 is blue,
# from the first picture on, and the program never writes the value back.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 320x240
write_settings Background=0x00FF0000 NumOfElements=1 NumOfReflections=12
start_saver /s
wait_for_saver_ready
sleep 1
screenshot "$E2E_TMP/background.png"
corner=$(timeout 20 convert "$E2E_TMP/background.png" -format '%[pixel:p{1,1}]' info:) ||
    fail "cannot read the screenshot"
case "$corner" in
"srgb(0,0,255)" | "blue") ;;
*) fail "the corner is $corner, not blue (screenshot kept in $E2E_TMP)" ;;
esac
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"
expect_setting Background 0x00FF0000
echo "PASS"
