#!/usr/bin/env bash
# /s drawn natively on weston (headless, one output, no seat, no X server): a picture with the
# symmetry of 12 mirrored reflections about the output's centre, the centre of what is drawn there
# too (on an output this wide, a view of the wrong size or offset moves it); SIGTERM ends it with
# 0. Then a compositor that accepts the connection and never answers: the start gives up after
# 3 s with one line (falling back to X11, absent here, or ending with 1 where Wayland is asked
# for), and SIGTERM ends the wait at once with 0, without a word.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_weston 720x400

write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_saver /s
wait_for_drawing output "$E2E_TMP/picture.png" 0.005
result=$(symmetric "$E2E_TMP/picture.png") || fail "no picture with 12 mirrored reflections: $result"
centre=$(echo "$result" | sed -n 's/.*centre \([0-9.]*\) \([0-9.]*\)$/\1 \2/p')
awk -v c="$centre" 'BEGIN { split(c, p, " "); exit !(p[1] - 360 < 2 && 360 - p[1] < 2 &&
    p[2] - 200 < 2 && 200 - p[2] < 2) }' || fail "the picture's centre is at ($centre), not (360 200)"
kill -TERM "$SAVER_PID"
wait_for_saver_exit_within 2000
[ "$SAVER_RC" -eq 0 ] || fail "SIGTERM ended the saver with code $SAVER_RC"

start_silent silent
late='lumivex-gl: the Wayland compositor "silent" did not answer within 3 s'
x11='lumivex-gl: cannot open the X display (DISPLAY is not set)'
for backend in wayland ""; do
    note "a silent compositor, LUMIVEX_BACKEND=$backend"
    LUMIVEX_BACKEND=$backend start_saver /s
    wait_for_saver_exit_within 5000
    expected=$([ -n "$backend" ] && echo "$late" || printf '%s; trying X11\n%s' "$late" "$x11")
    [ "$SAVER_RC" -eq 1 ] && [ "$(cat "$SAVER_OUT")" = "$expected" ] ||
        fail "ended with code $SAVER_RC, saying: $(cat "$SAVER_OUT")"
done
note "SIGTERM while the compositor says nothing"
start_saver /s
sleep 0.5
kill -TERM "$SAVER_PID"
wait_for_saver_exit_within 1000
[ "$SAVER_RC" -eq 0 ] && [ ! -s "$SAVER_OUT" ] || fail "ended with code $SAVER_RC"
echo "PASS"
