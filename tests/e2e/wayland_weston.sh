#!/usr/bin/env bash
# /s drawn natively on weston (headless, one output, no seat, no X server): a picture with the
# symmetry of 12 mirrored reflections about the output's centre; SIGTERM ends it with 0.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"
start_weston 720x400

write_settings NumOfReflections=12 Reflected=1 FullScreen=0 NumOfElements=3 Rest=20
start_saver /s
wait_for_drawing output "$E2E_TMP/picture.png" 0.005
expect_symmetric "$E2E_TMP/picture.png"
kill -TERM "$SAVER_PID"
wait_for_saver_exit_within 2000
[ "$SAVER_RC" -eq 0 ] || fail "SIGTERM ended the saver with code $SAVER_RC"
echo "PASS"
