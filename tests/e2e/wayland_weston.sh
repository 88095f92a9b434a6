#!/usr/bin/env bash
# /s drawn natively on weston (headless, one output, no seat, no X server): a picture with the
# symmetry of 12 mirrored reflections about the output's centre (a view of the wrong size or offset
# moves it); SIGTERM ends it with 0. A kept picture hands ES the page's vertices, pass for pass. A
# compositor that never answers: the start gives up after 3 s, and SIGTERM ends the wait with 0.
# The exit deadlines are wall time on a shared machine: wide.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_weston 720x400

write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_saver /s
wait_for_drawing output "$E2E_TMP/picture.png" 0.005 0.5
result=$(symmetric "$E2E_TMP/picture.png") || fail "no picture with 12 mirrored reflections: $result"
awk '/centre [0-9.]+ [0-9.]+$/ { on = ($(NF - 1) - 360)^2 < 4 && ($NF - 200)^2 < 4 } END { exit !on }' \
    <<<"$result" || fail "the picture's centre is not at (360 200): $result"
kill -TERM "$SAVER_PID"
wait_for_saver_exit_within 5000
[ "$SAVER_RC" -eq 0 ] || fail "SIGTERM ended the saver with code $SAVER_RC"

note "a kept picture: the page's vertices"
page_vertices 720x400
write_settings
# A sanitizer build wants its runtime first; the shim before it is harmless.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0 \
    LD_PRELOAD=${LUMIVEX_RECGLES:?the recording ES shim} LUMIVEX_RECGLES_FILE=$E2E_TMP/es.txt \
    start_saver "${KEPT[@]}"
drew_over() { [ "$(grep -c ^glVertex2f "$E2E_TMP/es.txt" 2>/dev/null)" -ge "$(grep -c ^glVertex2f "$E2E_TMP/page.v")" ]; }
poll_until 20 drew_over || fail "the saver drew too little in 20 s (kept in $E2E_TMP)"
kill -TERM "$SAVER_PID"
wait_for_saver_exit 10
expect_page_vertices "$E2E_TMP/es.txt"

start_silent silent
LUMIVEX_BACKEND=wayland start_saver /s
wait_for_saver_exit_within 8000
[ "$SAVER_RC:$(cat "$SAVER_OUT")" = '1:lumivex-gl: the Wayland compositor "silent" did not answer within 3 s' ] ||
    fail "a silent compositor: code $SAVER_RC, saying: $(cat "$SAVER_OUT")"
note "SIGTERM while the compositor says nothing"
start_saver /s
sleep 0.5
kill -TERM "$SAVER_PID"
wait_for_saver_exit_within 3000
[ "$SAVER_RC" -eq 0 ] && [ ! -s "$SAVER_OUT" ] || fail "ended with code $SAVER_RC"
echo "PASS"
