#!/usr/bin/env bash
# Ended from outside, the saver keeps the edits. With Caps Lock on, W, T and keypad plus make
# FullScreen 1, Alpha 1 and NumOfElements 4; whether Caps Lock is then turned off or left on,
# SIGTERM and SIGHUP end the saver with 0 and a killed X server with 1, the edits saved. With the
# settings file turned into a folder the save fails: one line, code 1, no message box waits. A link
# turned to another file while the saver runs leaves that file alone: the file read gets the edits. A settings file of exactly
# 4 MiB, nearly all another key's, takes the edits, and the larger file reads and saves again.
# With the argument "server-kills": the X server is killed at a random moment of the saver's
# first second, 30 times; the saver never dies of a signal and never saves the defaults.
source "$(dirname "$0")/lib.sh"
e2e_init "${1:-}"

edits_then() {
    local caps=$1 how=$2 expected=$3 with=${4:-}
    note "Caps Lock on, W, T, keypad plus, Caps Lock $caps, then $how ${with:+with $with}"
    start_xvfb 320x240
    rm -rf "${SETTINGS_FILE%/*}"
    write_settings NumOfElements=3 Alpha=0 FullScreen=0 Rest=20
    [ "$with" != "a 4 MiB file" ] || python3 -c 'import sys; d = open(sys.argv[1], "rb").read()
h = b"\r\n[HKEY_CURRENT_USER\\Other]\r\n\"Big\"=\""
open(sys.argv[1], "ab").write(h + b"x" * (4194301 - len(d) - len(h)) + b"\"\r\n")' "$SETTINGS_FILE"
    cp "$SETTINGS_FILE" "$E2E_TMP/before"
    if [ "$with" = "the link turned to another file" ]; then
        echo "my notes" >"$E2E_TMP/notes.txt"
        mv "$SETTINGS_FILE" "$E2E_TMP/read.reg" && ln -s "$E2E_TMP/read.reg" "$SETTINGS_FILE"
    fi
    start_saver /s
    wait_for_saver_ready
    send key Caps_Lock w t KP_Add
    sleep 0.3
    if [ "$caps" = off ]; then
        send key --delay 200 Caps_Lock
        sleep 0.3
    fi
    [ "$with" != "the file a folder" ] || { rm "$SETTINGS_FILE" && mkdir "$SETTINGS_FILE"; }
    [ "$with" != "the link turned to another file" ] || ln -sfn "$E2E_TMP/notes.txt" "$SETTINGS_FILE"
    if [ "$how" = "the X server killed" ]; then kill_xvfb; else kill -"$how" "$SAVER_PID"; fi
    wait_for_saver_exit 5
    [ "$SAVER_RC" -eq "$expected" ] || fail "ended with $SAVER_RC, not $expected"
    [ "$with" != "the file a folder" ] || return 0
    if [ "$with" = "the link turned to another file" ]; then
        [ "$(cat "$E2E_TMP/notes.txt")" = "my notes" ] || fail "the new target was written"
        local SETTINGS_FILE="$E2E_TMP/read.reg"
    fi
    expect_setting FullScreen 1
    expect_setting Alpha 1
    expect_setting NumOfElements 4
}

server_kills() {
    local try delay
    for try in $(seq 30); do
        start_xvfb 320x240
        write_settings NumOfElements=7 Rest=20
        start_saver /s
        delay=$(awk -v r="$RANDOM" 'BEGIN { printf "%.3f", r / 32768 }')
        sleep "$delay"
        kill_xvfb
        wait_for_saver_exit 10
        [ "$SAVER_RC" -le 128 ] || fail "try $try (server killed after $delay s): died of signal $((SAVER_RC - 128))"
        expect_setting NumOfElements 7
    done
    note "30 server kills: no crash"
}

if [ "${2:-}" = server-kills ]; then
    server_kills
else
    edits_then off TERM 0
    edits_then off HUP 0
    edits_then on TERM 0
    edits_then on HUP 0
    edits_then off "the X server killed" 1
    edits_then on "the X server killed" 1
    grep -qx "lumivex-gl: lost the connection to the X display $DISPLAY" "$SAVER_OUT" ||
        fail "no one-line message about the lost display"
    # No message box may hold up an end a signal asked for.
    LUMIVEX_NO_DIALOG= edits_then on TERM 1 "the file a folder"
    [ "$(cat "$SAVER_OUT")" = "lumivex-gl: cannot save the settings to $SETTINGS_FILE: Is a directory" ] ||
        fail "not one line naming the file and the reason"
    edits_then on TERM 0 "the link turned to another file"
    edits_then on TERM 0 "a 4 MiB file"
    timeout 10 "$LUMIVEX_GL" /p || fail "the file the save wrote could not be saved again"
    cmp -s <(grep -a '^"Big"' "$SETTINGS_FILE") <(grep -a '^"Big"' "$E2E_TMP/before") || fail "lost"
fi
echo "PASS"
