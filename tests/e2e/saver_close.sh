#!/usr/bin/env bash
# What ends the saver and what does not. Escape, a click and a jump of 5 pixels end it. Alt,
# Backspace, Caps Lock and a move of 4 pixels do not: after them, with Caps Lock now on, T still
# edits the picture, which the saved Alpha shows. Had any of them closed the saver, T would
# never have been handled (events are handled in order), and Alpha would have been saved as 0.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

run_case() {
    local name=$1
    shift
    note "$name"
    start_xvfb 320x240
    write_settings Alpha=0 Rest=20
    start_saver /s
    wait_for_saver_ready
    send "$@"
    wait_for_saver_exit
    [ "$SAVER_RC" -eq 0 ] || fail "$name: the saver ended with code $SAVER_RC"
}

run_case "Escape closes" key Escape
run_case "a click closes" click 1
run_case "a jump of 5 pixels closes" mousemove_relative -- 5 0
run_case "Alt, Backspace, Caps Lock and a 4-pixel move do not close" \
    mousemove_relative -- 0 4 key Alt_L BackSpace Caps_Lock t Escape
expect_setting Alpha 1
echo "PASS"
