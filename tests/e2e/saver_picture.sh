#!/usr/bin/env bash
# After two seconds of /s the screen shows a picture that differs from the background and has
# the symmetry the settings ask for: 12 reflections, alternately mirrored, give a picture that a
# turn by 2 x 360/12 = 60 degrees about the screen centre maps onto itself. An edit repaints the
# view, and what is drawn after it reaches the screen too: with Caps Lock on, Up takes it to 18
# reflections, a turn by 40 degrees. On one screen of two monitors (RandR monitors of 1280x720
# and 1024x768 side by side), each monitor shows a picture of its own, symmetric about its centre,
# and a move of the mouse on the second monitor ends the saver.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

start_xvfb 640x480
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_saver /s
wait_for_saver_ready
sleep 2
screenshot "$E2E_TMP/picture.png"
note "symmetry of the picture"
expect_symmetric "$E2E_TMP/picture.png"
if [ -n "${E2E_SHOTS:-}" ]; then
    cp "$E2E_TMP/picture.png" "$E2E_SHOTS/saver_picture.png"
fi

send key Caps_Lock Up
sleep 2
screenshot "$E2E_TMP/edited.png"
timeout 20 convert "$E2E_TMP/edited.png" -depth 8 "$E2E_TMP/edited.ppm" ||
    fail "cannot convert the screenshot"
note "symmetry of the picture after an edit"
python3 "$E2E_DIR/symmetry_check.py" "$E2E_TMP/edited.ppm" 40 0.9 0.005 ||
    fail "the edited picture is not on the screen (screenshots kept in $E2E_TMP)"

send key Escape
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC"

[ -n "$PICTURE_PER_MONITOR" ] || { echo "PASS"; exit 0; }
note "two monitors"
start_xvfb 2304x768
timeout 10 xrandr --setmonitor L 1280/338x720/190+0+0 screen &&
    timeout 10 xrandr --setmonitor R 1024/270x768/203+1280+0 none || fail "xrandr --setmonitor failed"
# The edit above was saved.
write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
send mousemove 1800 400
start_saver /s
wait_for_saver_ready
sleep 2
screenshot "$E2E_TMP/monitors.png"
expect_symmetric "$E2E_TMP/monitors.png" 1280x720+0+0
expect_symmetric "$E2E_TMP/monitors.png" 1024x768+1280+0
send mousemove_relative -- 5 0
wait_for_saver_exit
[ "$SAVER_RC" -eq 0 ] || fail "the saver ended with code $SAVER_RC on two monitors"
echo "PASS"
