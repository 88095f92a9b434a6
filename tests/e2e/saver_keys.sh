#!/usr/bin/env bash
# With Caps Lock on the keys edit the picture and the edits are what is saved at the end.
# From the stored values below, by the key table:
#   Up           NumOfReflections 12 -> 18 (the next entry of 2 4 6 8 10 12 18 ...)
#   keypad 6     MonoColor -> entry 6, blue 0x00FF0000; Monochrome -> 1
#   keypad minus NumOfElements 3 -> 2
#   T, V, W      Alpha 0 -> 1, Reflected 1 -> 0, FullScreen 0 -> 1
#   Left         Rest 20 -> 20 + trunc(sqrt(20)) = 24
# (xdotool presses Num Lock around keypad 6, so the saver also sees Num Lock: no effect.)
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 320x240
write_settings NumOfReflections=12 NumOfElements=3 Alpha=0 Reflected=1 FullScreen=0 \
    Monochrome=0 MonoColor=0x1FFFFFFF Rest=20
start_saver /s
wait_for_saver_ready
send key Caps_Lock Up KP_6 KP_Subtract t v w Left Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"

expect_setting NumOfReflections 18
expect_setting MonoColor 0x00FF0000
expect_setting Monochrome 1
expect_setting NumOfElements 2
expect_setting Alpha 1
expect_setting Reflected 0
expect_setting FullScreen 1
expect_setting Rest 24

# Caps Lock is still on from the run above, so the next saver starts interactive. T edits,
# Caps Lock off hands the edit to the settings, and the Escape that follows (now a plain close)
# keeps it: Alpha 1 -> 0.
start_saver /s
wait_for_saver_ready
# Separate presses with pauses, so the saver handles the Caps Lock press before its release
# reaches the server - the moment the server still reports the lock as on.
send key t
sleep 0.3
send key --delay 200 Caps_Lock
sleep 0.3
send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the second saver ended with code $SAVER_RC"
expect_setting Alpha 0
expect_setting FullScreen 1
echo "PASS"
